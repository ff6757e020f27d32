// KuvoChat: instant messaging for the host, over the IM SDK.
//
// The host drives the library through the Im_ exports and hears of outcomes through the three
// callback interfaces it registers. Calling order: make the in-house base library ready
// (Kuvocore), register callbacks, Im_Init, Im_Login, Im_NotifyReleaseData once ready for
// messages (after every login), ..., Im_Loginout, and Im_UnInit before unloading.
//
// Threads: callbacks run on the in-house task runner's thread (Kuvocore's runner), except the
// batch of held messages that Im_NotifyReleaseData hands over, and the list Im_GetRecentList
// hands over, on the caller's thread. No lock of the library is held while a callback runs, so a
// callback may call any export (a new login included) or wait for another thread that does,
// for example hand its work to the host's UI thread and wait until it ran there. No export ever
// waits for a callback running on another thread. A callback that blocks the runner's thread
// delays every later event. An exception thrown by a callback is caught and goes no further; the
// other callbacks still hear of the event.
//
// Removal: Im_Remove*CallBack erases the entry and returns at once; from then on no new call of
// that interface begins, but a call already running on another thread goes on. So:
//   - on the runner's thread (inside any callback too) no call into the interface is in progress
//     but the caller's own: the host may destroy the object at once;
//   - on any other thread, the host removes the interface, then destroys the object in a task it
//     posts to the runner: the runner runs one task at a time, so that task runs after any call
//     in progress (the host guide shows the recipe). Im_NotifyReleaseData and
//     Im_GetRecentList call back on their caller's own thread: ordering those with a destruction
//     is the host's.
// Im_UnInit closes the manager: no new call into any interface begins once it has started, and
// it does not wait for a call running on another thread either.
//
// Unloading: after Im_UnInit, drain or stop Kuvocore's runner before unloading the library:
// tasks still queued there hold code of the library.
//
// Ownership: callback objects stay the host's; the library never counts or deletes them, and
// the host removes one before destroying it. Records, lists and maps given to a callback belong
// to the library and are valid only during the call.
//
// Binary contract: strings, lists and maps cross this boundary as standard-library objects, and
// the callback interfaces are called through their tables of virtual operations at fixed slots.
// A host must therefore be built with the same toolchain and the same C++ runtime as the library
// (one heap). The first slot of each interface is one ordinary virtual function that the library
// never calls; it is not a destructor, because under the Itanium C++ ABI (g++, mingw-w64) a
// virtual destructor takes two slots and would move the called operations. The destructors are
// protected: the library never deletes a host's object, and the host deletes its own through its
// own class.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>

#include "KuvoChatPeer.h"  // PeerKind codes and the peer-text rules

#if defined(_WIN32)
#if defined(KUVOCHAT_BUILDING)
#define KUVOCHAT_API __declspec(dllexport)
#else
#define KUVOCHAT_API __declspec(dllimport)
#endif
#else
#define KUVOCHAT_API __attribute__((visibility("default")))
#endif

// Where a message sits in the SDK's store; also the anchor of a history request.
struct tagTimMsgLocator {
  bool isRead = false;
  bool isSelf = false;   // sent by this account (also from another device)
  int32_t status = 0;    // 2 sent; 3 failed (send outcomes only)
  int32_t convType = 0;  // 1 one-to-one, 2 group
  uint64_t time = 0;
  uint64_t rand = 0;
  uint64_t seq = 0;
  std::string peer;    // the SDK's peer text of the conversation
  std::string sender;  // the sender's account text
};

// One message as the host sees it.
struct tagTimMsgInfo {
  uint8_t flag = 0;
  uint32_t peerKind = 0;  // PeerKind of the partner; 0 when its peer text is not recognised
  uint64_t msgId = 0;     // the SDK's unique message id
  uint64_t peerId = 0;
  std::string content;  // the custom element's data, base64-decoded (raw bytes)
  std::string desc;
  std::string ext;  // raw bytes
  tagTimMsgLocator locator;
};

// The record the host sends (Im_SendMsg).
struct tagTimSendMsgInfo {
  int32_t cmd = 0;
  uint32_t peerKind = 0;
  uint64_t msgId = 0;  // the host's sequence number (Im_CreateNewSeq)
  uint64_t peerId = 0;
  std::string pushText;
  std::string payload;
};

// One entry of the recent-conversation list.
struct tagTimTalkInfo {
  uint8_t reserved1 = 0;
  uint8_t reserved2 = 0;
  uint32_t peerKind = 0;
  int32_t unreadCount = 0;
  uint64_t time = 0;
  uint64_t peerId = 0;
  int64_t senderId = 0;
  uint64_t msgId = 0;
  std::string lastDesc;
  std::string reservedText;
};

using TimMsgList = std::list<tagTimMsgInfo>;
using TimTalkList = std::list<tagTimTalkInfo>;
using TimChangedPeers = std::map<uint64_t, uint32_t>;  // peer id -> PeerKind

// Connection events: 0 "tim login success" / "tim connect success", 1 "tim data refresh
// success", -1 "tim force offline", -2 "tim sig expired", -3 lasting disconnection (30 s),
// -4 "tim login error". The first slot of each interface is never called by the library.
class IConnCallBack {
 public:
  // First slot; never called by the library.
  virtual void Reserved() {}
  virtual void OnConnEvent(int32_t code, std::string text) = 0;

 protected:
  ~IConnCallBack() = default;
};

class IMsgCallBack {
 public:
  // First slot; never called by the library.
  virtual void Reserved() {}
  virtual void OnNewMsgs(const TimMsgList* msgs) = 0;
  virtual void OnSendResult(bool sent, uint64_t seq, const tagTimMsgInfo* msg) = 0;
  // `msgs` is null and `reachedEnd` false when the request failed.
  virtual void OnMsgListResult(uint64_t seq, const TimMsgList* msgs, bool reachedEnd) = 0;

 protected:
  ~IMsgCallBack() = default;
};

class ISessionCallBack {
 public:
  // First slot; never called by the library.
  virtual void Reserved() {}
  virtual void OnRecentList(const TimTalkList* talks) = 0;
  virtual void OnSessionChanged(const TimChangedPeers* changed) = 0;

 protected:
  ~ISessionCallBack() = default;
};

// Why an export answered false or 0: the library writes one line per event to the debug output,
// "[IM][CImMgr::<method>]<text>" (the reasons below name their lines). On Windows that is
// OutputDebugStringA: watch it with Sysinternals DebugView ("Capture Win32"), in a debugger's
// output window, or under wine with WINEDEBUG=+debugstr. On Linux the lines go to stderr when
// the environment variable KUVO_DEBUG_OUTPUT_STDERR is 1. On both, KUVO_DEBUG_OUTPUT_FILE names a
// file that every line is also appended to (read at each line, so it may be set at any time).
// Reasons without a line are silent: the argument named no conversation (a PeerKind code outside
// KuvoChatPeer.h's table) or the SDK refused.
extern "C" {

// Next sequence number: 1, 2, 3, ... for the manager's life (shared with history requests).
KUVOCHAT_API uint64_t Im_CreateNewSeq();
// Initialises the SDK with its data folder; true also on a repeated call after a success
// ("Repetitive initialization"). `reserved` is ignored. False when Kuvocore is not loaded or not
// started, so it has no task runner ("Base com uninit"), or when the SDK's TIMInit failed
// ("Init result:<code>", code not 0). The folder is created when missing.
KUVOCHAT_API bool Im_Init(uint64_t appId, uint32_t reserved, const wchar_t* dataPath);
// True when the login request was accepted; the outcome arrives as event 0 or -4.
// `accountType` is the account type text of the application's IM account system, passed to the
// SDK as it is (the examples' "36862" is such a value). False when Im_Init has not succeeded
// ("[CImMgr::Login]Please init"), when a login is pending or established ("Current login
// state:<0|1> connect state:<0|1>"; Im_Loginout first), or when the SDK refused the request
// ("Start login,appid=...,user=...,code=<code>" with a code other than 0).
KUVOCHAT_API bool Im_Login(uint64_t userId, std::string accountType, std::string userSig);
KUVOCHAT_API void Im_Loginout();
// The host is ready for messages: the records held when it is called are handed over now, on
// this thread, in one call per message callback; it then returns. Batches that arrive meanwhile
// follow on the runner's thread, in arrival order; later ones as they come.
KUVOCHAT_API void Im_NotifyReleaseData();
KUVOCHAT_API void Im_RegConnCallBack(IConnCallBack* callback);
KUVOCHAT_API void Im_RegMsgCallBack(IMsgCallBack* callback);
KUVOCHAT_API void Im_RegSessionCallBack(ISessionCallBack* callback);
// Removal never waits (see "Removal" above for when the object may be destroyed).
KUVOCHAT_API void Im_RemoveConnCallBack(IConnCallBack* callback);
KUVOCHAT_API void Im_RemoveMsgCallBack(IMsgCallBack* callback);
KUVOCHAT_API void Im_RemoveSessionCallBack(ISessionCallBack* callback);
// Sends one message: `msg->payload` (wrapped in a msgHeader when `wrap`) base64-encoded in one
// custom element with `msg->pushText` as its description and offline-push text. True when the
// send was started; the outcome follows through OnSendResult under `msg->msgId`.
// False, silently, when `msg` is null, its peerKind names no conversation, `wrap` is set and
// `cmd` is not a cmdType of the timmsgtype schema, the payload is empty, the payload or push
// text is too long for the SDK (payload above 3/4 of 4 GiB, text above 4 GiB), or the SDK gave
// no conversation or message handle.
KUVOCHAT_API bool Im_SendMsg(const tagTimSendMsgInfo* msg, bool onlineOnly, bool wrap);
// Pages through a conversation's history. Modes: 1 the newest page (also whenever `anchor` is
// null), 2 forward from `anchor`, other non-zero values backward from `anchor`. Returns the
// request number (from the Im_CreateNewSeq counter) or 0; the page follows through
// OnMsgListResult. 0, silently (a number is used up all the same), when `mode` is 0 with an
// anchor, `peerKind` names no conversation, or the SDK gave no conversation for the peer.
KUVOCHAT_API uint64_t Im_GetMsgList(uint32_t peerKind, uint64_t peerId, uint32_t count,
                                    int32_t mode, const tagTimMsgLocator* anchor);
// Hands the recent conversations (at most 100) to OnRecentList of every session callback, on
// the calling thread, before returning; nothing is called when there are none. Only
// conversations whose peer text reads as a PeerKind are listed (KuvoChatPeer.h).
KUVOCHAT_API void Im_GetRecentList();
// The conversation's unread count; 0 also, silently, when `peerKind` names no conversation or
// the SDK has no conversation for the peer.
KUVOCHAT_API int32_t Im_GetTalkUnReadCnt(uint32_t peerKind, uint64_t peerId);
// Marks every message of the conversation read; nothing happens, silently, when `peerKind` names
// no conversation or the SDK has none for the peer.
KUVOCHAT_API void Im_SetReadMsg(uint32_t peerKind, uint64_t peerId);
// Marks the conversation read, then removes it (with its stored messages when `withMessages`).
// The SDK's delete result (1 removed, 0 not); 0 also, silently, when `peerKind` names no
// conversation or the SDK has none for the peer.
KUVOCHAT_API uint8_t Im_RemoveTalk(uint32_t peerKind, uint64_t peerId, bool withMessages);
// Withdrawing is not offered: always false, nothing is sent.
KUVOCHAT_API bool Im_ReqWithdrawMsg(uint32_t a1, uint32_t a2, uint32_t a3, uint32_t a4, uint32_t a5,
                                    uint32_t a6);
// Logs out, shuts the SDK down and destroys the manager with its registrations. No callback call
// begins once it has started; it does not wait for one running on another thread.
KUVOCHAT_API void Im_UnInit();

}  // extern "C"
