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

// The exports answer nothing: a step that fails ends the flow, is written to the log and reaches
// the host only as the events above (or as no event at all). The log is the in-house logging
// library's (Kuvotrace), which the host opens for its process with Kuvotrace_Init(<file>); the
// library loads it by name and writes nothing while it is missing or not opened. Every KuvoDesk
// line carries the function "CKuvoXrk::<method>" and a text that begins with "[XRK]" (the
// library's tag); the host guide glosses each text. Below, each export lists its failure lines.
extern "C" {

// Stores the callback and the value passed back with every event; a null callback silences them.
KUVODESK_API void KuvoSetRemoteControlCallback(uint32_t user_data, RemoteControlCallback callback);
// Opens (or keeps) the session window and connects to the controlled side's address and session
// name; the display name (UTF-8, may be empty) goes into the window title. Ends without an event
// when the SDK cannot be set up ("[XRK] 初始化API环境失败", "[XRK] 创建控制端失败",
// "[XRK] 设置控制端回调函数失败") or a session step fails ("[XRK]启动远程桌面空会话失败",
// "[XRK]设置远程桌面窗口失败", "[XRK]设置远程桌面会话回调失败", "[XRK]连接远程桌面失败", each with
// "ProcessId=<pid>"). Success logs "[XRK]已连接远程桌面"; events 2 or 3 follow. In a process that
// began as the controlled side the SDK is not set up for this side and the step fails.
KUVODESK_API void KuvoMasterStartSession(const std::string& address,
                                         const std::string& session_name,
                                         const std::string& display_name);
// Destroys the remote session (the window stays); on the controlled side: KuvoSlaveStopSession.
// Logs "[XRK]已关闭远程桌面:0", or "[XRK]关闭远程桌面失败 ProcessId=<pid>,0" when the SDK refused.
KUVODESK_API void KuvoMasterStopSession();
// Logs in with the account's OpenID and key and opens a desktop session; event 0 follows once
// both the login and the session are there. Ends without an event when the SDK cannot be set up
// ("[XRK] 初始化API环境失败", "[XRK] 创建被控制端失败", "[XRK] 设置被控制端回调失败") or refuses
// the login ("[XRK]被控制端登录服务器失败 ProcessId=<pid>,0"); silently when the earlier session
// cannot be destroyed or no session can be created. A login the server rejects later ends with
// event 1 ("erroCode=<client event>") and the line "[XRK] 登录服务器失败" (or channel errors).
KUVODESK_API void KuvoSlaveInitSession(const std::string& openid, const std::string& key);
// Destroys the desktop session and logs out; "[XRK]销毁<session>会话失败 ProcessId=<pid>,0" when
// the SDK refused to destroy it (the login is then kept).
KUVODESK_API void KuvoSlaveStopSession();

}  // extern "C"
