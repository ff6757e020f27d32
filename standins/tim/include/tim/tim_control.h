// Control API of the IM SDK stand-in: lets tests and the demo script its answers, inject events
// and read what was called. Not part of the vendor's interface.
//
// Threads: every function may be called from any thread. Events are delivered on the stand-in's
// own callback thread, one at a time in the order they were raised, unless synchronous delivery
// is switched on, in which case they run on the calling thread before the call returns (this
// includes the completions of TIMLogin, TIMLogout, sends and history requests). WaitIdle() blocks
// until every queued event has been delivered; it must not be called from a callback.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tim/tim_c.h"

namespace tim_control {

// Overrides the answer of a size query (no buffer) of one text getter: the getter answers
// `result` and reports `length` instead of the text's own. Fetches with a buffer still copy the
// real text, at most as many bytes as the buffer length allows.
struct QueryFault {
  int result = -2;
  uint64_t length = 0;
};

struct ElemShape {
  TIMElemType type = kElemCustom;
  std::string data;  // custom: data (base64 text as senders put it); text: the text
  std::string desc;
  std::string ext;
};

struct MessageShape {
  TIMConversationType conv_type = kCnvC2C;
  std::string peer;
  std::string sender;
  uint64_t seq = 0;
  uint64_t rand = 0;
  uint32_t time = 0;
  int status = kMsgStatusSuccess;
  uint64_t unique_id = 0;  // 0: the stand-in numbers it
  bool is_read = false;
  bool is_self = false;
  std::vector<ElemShape> elems;
  // Keyed by getter name: "GetMsgSender", "GetCustomElemData", "GetCustomElemDesc",
  // "GetCustomElemExt", "GetConversationPeer".
  std::map<std::string, QueryFault> faults;
  bool null_handle = false;  // delivered as a null entry of the handle array
  bool store = true;         // also kept in its conversation (history, recent list)
  // Answer of GetConversationFromMsg for this message (0 = filled).
  int conversation_from_msg_result = 0;
};

// A message with one custom element whose data is `data_base64`.
TIM_DECL MessageShape CustomMessage(TIMConversationType conv_type, const std::string& peer,
                                    const std::string& sender, const std::string& data_base64,
                                    const std::string& desc = std::string(),
                                    const std::string& ext = std::string());

struct LoginScript {
  int result = 0;              // what TIMLogin answers
  int outcome = 0;             // 0: OnSuccess; otherwise OnError with this code
  std::string desc;            // OnError's description
  uint32_t delay_ms = 0;       // on the callback thread, before the outcome
  bool hold = false;           // keep the outcome until CompleteHeldLogin
  bool connect_first = false;  // raise OnConnected just before a successful outcome
};

struct LogoutScript {
  int outcome = 0;  // 0: OnSuccess; otherwise OnError with this code
  uint32_t delay_ms = 0;
};

// Outcome of the next send (SendMsg / SendOnlineMsg). Without a script sends succeed.
struct SendScript {
  int code = 0;                          // 0: OnSuccess; otherwise OnError
  int status_after = kMsgStatusSuccess;  // the message's status once the outcome is known
  std::string desc;
  bool hold = false;      // keep the outcome until CompleteHeldSends
  bool as_error = false;  // OnError even when `code` is 0
};

// Outcome of the next history request (GetMsgs, GetMsgsForward, SyncC2CRambleMsgs). Without a
// script the page comes from the conversation's stored messages.
struct HistoryScript {
  int code = 0;  // 0: OnSuccess with `messages`; otherwise OnError
  std::string desc;
  std::vector<MessageShape> messages;
  bool from_store = false;  // success with the stored page instead of `messages`
  int reported_size = -1;   // the size passed to OnSuccess; -1: the number of handles
};

struct CallRecord {
  std::string name;
  std::vector<std::string> args;  // each argument as text (pointers as "null" or "ptr")
};

// Forgets the store, the scripts, the call log and the registered routines, drops queued events
// and switches synchronous delivery off. Live handles are not forgotten.
TIM_DECL void Reset();

TIM_DECL void SetSynchronousCallbacks(bool on);
// The routine TIMSetMessageCallBack registered last (null when none), so that a benchmark can
// switch between its own routine and the library's and back.
TIM_DECL TIMMessageCB* RegisteredMessageCallBack();
// Likewise the record TIMSetConnCallBack registered last (null when none).
TIM_DECL TIMConnCB* RegisteredConnCallBack();
TIM_DECL void WaitIdle();

TIM_DECL void SetInitResult(int result);
TIM_DECL void SetLoginScript(const LoginScript& script);
// Delivers a held login outcome; false when none is held.
TIM_DECL bool CompleteHeldLogin(int outcome);
TIM_DECL void SetLogoutScript(const LogoutScript& script);
TIM_DECL void SetGetConversationResult(int result);  // answer of TIMGetConversation; 0 default
// Makes TIMGetConversationCount answer `count` whatever the store holds (until Reset).
TIM_DECL void SetConversationCountAnswer(uint64_t count);
// Makes TIMGetConversationByIndex answer `result` for the indexes it fills (until Reset); an
// index beyond the store still leaves the handle blank.
TIM_DECL void SetConversationByIndexAnswer(int result);
// Sets the unread count of a stored conversation; false when there is no such conversation.
TIM_DECL bool SetUnreadCount(TIMConversationType type, const std::string& peer, uint64_t count);
TIM_DECL void PushSendScript(const SendScript& script);
TIM_DECL size_t CompleteHeldSends();
TIM_DECL void PushHistoryScript(const HistoryScript& script);

TIM_DECL void RaiseConnected();
TIM_DECL void RaiseDisconnected(int code, const std::string& desc = "network lost");
TIM_DECL void RaiseKickOffline();
TIM_DECL void RaiseUserSigExpired();
TIM_DECL void RaiseRefresh();
// Each entry is (type, peer); entries need not exist in the store.
TIM_DECL void RaiseConversationRefresh(
    const std::vector<std::pair<TIMConversationType, std::string>>& conversations);
TIM_DECL void DeliverNewMessages(const std::vector<MessageShape>& batch);
// Adds messages to the store without raising anything.
TIM_DECL void StoreMessages(const std::vector<MessageShape>& messages);

TIM_DECL std::vector<CallRecord> CallLog();
TIM_DECL std::vector<CallRecord> CallsNamed(const std::string& name);
TIM_DECL size_t CountCalls(const std::string& name);
TIM_DECL void ClearCallLog();
// True once the log holds at least `count` calls named `name` (within `timeout_ms`).
TIM_DECL bool WaitForCalls(const std::string& name, size_t count, uint32_t timeout_ms);

// The next CreateConversation call waits on its caller's thread, before doing anything, until
// ReleaseHeldCall (or Reset). WaitCallHeld is true once a call waits (within `timeout_ms`).
TIM_DECL void HoldNextCall(const std::string& name);
TIM_DECL bool WaitCallHeld(uint32_t timeout_ms);
TIM_DECL void ReleaseHeldCall();
// Benchmarks switch the call log off so that its growth does not dominate what they measure.
// Reset switches it on again.
TIM_DECL void SetCallLogging(bool on);

// Handles made by Create* (and CreateTIMMessageHandleFromData) not yet destroyed.
TIM_DECL size_t LiveHandleCount();
// Calls that passed a handle that is unknown, destroyed or of the wrong kind.
TIM_DECL std::vector<std::string> Misuses();

TIM_DECL bool IsInitialized();
TIM_DECL std::string LoggedInUser();  // identifier of the last successful login, "" when none
TIM_DECL uint64_t StoredUnreadCount(TIMConversationType type, const std::string& peer);
TIM_DECL size_t StoredConversationCount();

}  // namespace tim_control
