// KuvoDesk: remote assistance for the host over the remote-control SDK, as the controlled side
// (the slave: logs in, opens a desktop session, reports its address and session name) or as the
// controlling side (the master: shows and controls the other desktop in a window of its own).
//
// The first session-opening call of a process (KuvoMasterStartSession or KuvoSlaveInitSession)
// fixes the side whose SDK objects are created. The host carries the address and session name
// of event 0 from the controlled side to the controlling side by its own means.
//
// Threads: the session window belongs to the thread that opens it with KuvoMasterStartSession,
// whose message loop must run. Events 0 to 3 arrive on the SDK's threads, event 4 on the
// window's thread. No lock of the library is held while the callback runs, so the callback may
// call the exports. The text of an event is the callee's.
#pragma once

#include <cstdint>
#include <string>

#if defined(_WIN32)
#if defined(KUVODESK_BUILDING)
#define KUVODESK_API __declspec(dllexport)
#else
#define KUVODESK_API __declspec(dllimport)
#endif
#else
#define KUVODESK_API __attribute__((visibility("default")))
#endif

// Host events.
enum : int32_t {
  kRcSlaveReady = 0,          // text: client address, a line feed, session name
  kRcSlaveEnded = 1,          // text: "erroCode=<client event>" or "event=<session event>"
  kRcMasterConnected = 2,     // text: empty
  kRcMasterDisconnected = 3,  // text: "event=<remote event>"
  kRcMasterWindowClosed = 4,  // text: empty; raised on close and again on destroy
};

using RemoteControlCallback = void (*)(uint32_t user_data, int32_t event, std::wstring text);

extern "C" {

// Stores the callback and the value passed back with every event; a null callback silences them.
KUVODESK_API void KuvoSetRemoteControlCallback(uint32_t user_data, RemoteControlCallback callback);
// Opens (or keeps) the session window and connects to the controlled side's address and session
// name; the display name (UTF-8, may be empty) goes into the window title.
KUVODESK_API void KuvoMasterStartSession(const std::string& address,
                                         const std::string& session_name,
                                         const std::string& display_name);
// Destroys the remote session (the window stays); on the controlled side: KuvoSlaveStopSession.
KUVODESK_API void KuvoMasterStopSession();
// Logs in with the account's OpenID and key and opens a desktop session.
KUVODESK_API void KuvoSlaveInitSession(const std::string& openid, const std::string& key);
// Destroys the desktop session and logs out.
KUVODESK_API void KuvoSlaveStopSession();

}  // extern "C"
