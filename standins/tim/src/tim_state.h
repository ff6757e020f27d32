// The stand-in's whole state behind one lock: handle table, store, scripts, registered routines
// and the call log. No routine of the caller is ever called while the lock is held.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tim/tim_c.h"
#include "tim/tim_control.h"
#include "tim_objects.h"

namespace tim {

struct HeldSend {
  TIMMessageHandle message;
  TIMCommCB* cb;
  tim_control::SendScript script;
};

class State {
 public:
  static State& Get();

  std::mutex mutex;

  // Handle table. `counted` handles were made by Create* and are the caller's.
  struct HandleEntry {
    HandleKind kind;
    bool counted;
  };
  std::map<void*, HandleEntry> handles;
  std::vector<std::string> misuses;

  // Registers an object of the given kind; the table owns it until Forget().
  template <typename T>
  T* Adopt(std::unique_ptr<T> object, HandleKind kind, bool counted) {
    T* raw = object.release();
    handles[raw] = {kind, counted};
    return raw;
  }
  // The object behind `handle` when it is live and of `kind`; otherwise records a misuse by
  // `api` and gives null. Lock held.
  ConversationObject* Conversation(void* handle, const char* api);
  MessageObject* Message(void* handle, const char* api);
  ElemObject* Elem(void* handle, const char* api);
  OfflineObject* Offline(void* handle, const char* api);
  // Removes and deletes a handle. Lock held.
  void Forget(void* handle);

  // Builds an SDK-owned message handle (not counted) for a callback. Lock held.
  TIMMessageHandle NewSdkMessage(MessageData data);
  TIMConversationHandle NewSdkConversation(TIMConversationType type, const std::string& peer);

  // Callers on the per-message paths test call_log_enabled first, so that a benchmark with the
  // log off does not pay for formatting the arguments.
  void Log(const std::string& name, std::vector<std::string> args);
  std::vector<tim_control::CallRecord> calls;
  std::condition_variable logged;  // notified by Log
  bool call_log_enabled = true;    // off only for benchmarks (SetCallLogging)

  // Store, newest activity first.
  std::vector<StoredConversation> conversations;
  StoredConversation* FindConversation(TIMConversationType type, const std::string& peer);
  StoredConversation& TouchConversation(TIMConversationType type, const std::string& peer);
  void StoreMessage(const MessageData& message);
  uint64_t next_unique_id = 1000;
  uint64_t next_seq = 1;

  // Session.
  bool initialized = false;
  std::string logged_in_user;
  std::string pending_login_user;
  int init_result = 0;
  int get_conversation_result = 0;
  bool conversation_count_lies = false;  // SetConversationCountAnswer
  uint64_t conversation_count_answer = 0;
  bool by_index_answer_set = false;  // SetConversationByIndexAnswer
  int by_index_answer = 0;
  tim_control::LoginScript login_script;
  tim_control::LogoutScript logout_script;
  TIMCommCB* held_login_cb = nullptr;
  std::deque<tim_control::SendScript> send_scripts;
  std::vector<HeldSend> held_sends;
  std::deque<tim_control::HistoryScript> history_scripts;

  // Registered routines; events read them when they are delivered.
  TIMMessageCB* message_cb = nullptr;
  TIMConnCB* conn_cb = nullptr;
  TIMForceOfflineCB* kick_cb = nullptr;
  TIMUserSigExpiredCB* sig_cb = nullptr;
  TIMRefreshListener* refresh_listener = nullptr;

  // Forgets store, scripts, routines and log. Lock held.
  void ResetLocked();

 private:
  State() = default;
};

MessageData FromShape(const tim_control::MessageShape& shape);

// Text answers under the length protocol of tim_c.h. Lock held.
int AnswerText(const std::string& value, char* buf, uint32_t* len,
               const std::map<std::string, tim_control::QueryFault>* faults, const char* api);

std::string PtrText(const void* p);
std::string Quote(const char* text);

}  // namespace tim
