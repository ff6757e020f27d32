#include "sdk_routines.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "event_forwarders.h"
#include "message_convert.h"
#include "peer_id.h"

namespace kuvochat {

namespace {

// The SDK's error routines never pass 0 on: a failure reported with 0 becomes 1.
uint32_t FailureCode(int code) {
  return code == 0 ? 1u : static_cast<uint32_t>(code);
}

void OnLoginSuccess(void*) {
  ForwardLogin(0);
}
void OnLoginError(int code, const char*, void*) {
  ForwardLogin(FailureCode(code));
}
void OnLogoutSuccess(void*) {
  ForwardLoginout(0);
}
void OnLogoutError(int code, const char*, void*) {
  ForwardLoginout(FailureCode(code));
}
void OnConnected(void*) {
  ForwardConnect(0);
}
void OnDisconnected(int code, const char*, void*) {
  ForwardConnect(FailureCode(code));
}
void OnForceOffline(void*) {
  ForwardForceOffline();
}
void OnUserSigExpired(void*) {
  ForwardSigExpired();
}
void OnRefresh(void*) {
  ForwardRefresh();
}

constexpr uint32_t kRefreshPeerBufferSize = 260;

void OnConversationRefresh(TIMConversationHandle* conversations, uint32_t num, void*) {
  if (conversations == nullptr) return;
  // On the SDK's thread: nothing may be thrown back into it.
  try {
    TimChangedPeers changed;
    for (uint32_t i = 0; i < num; ++i) {
      TIMConversationHandle conversation = conversations[i];
      if (conversation == nullptr) continue;
      const int type = GetConversationType(conversation);
      if (type == kConvTypeSystem || type == kConvTypeNone) continue;
      char buffer[kRefreshPeerBufferSize] = {};
      uint32_t length = kRefreshPeerBufferSize;
      GetConversationPeer(conversation, buffer, &length);
      const std::string peer(buffer, strnlen(buffer, kRefreshPeerBufferSize));
      uint32_t kind = 0;
      uint64_t id = 0;
      if (ParsePeer(peer, &kind, &id)) changed[id] = kind;
    }
    if (!changed.empty()) ForwardSessionChanged(std::move(changed));
  } catch (...) {
  }
}

void OnNewMessage(TIMMessageHandle* handles, uint32_t msg_num, void*) {
  try {
    TimMsgList list = ConvertMessages(handles, msg_num);
    if (!list.empty()) ForwardNewMessages(std::move(list));
  } catch (...) {
    // A batch that cannot be converted for want of memory is lost; the SDK's thread is not.
  }
}

TIMCommCB g_login_completion = {&OnLoginSuccess, &OnLoginError, nullptr};
TIMCommCB g_logout_completion = {&OnLogoutSuccess, &OnLogoutError, nullptr};
TIMConnCB g_connection = {&OnConnected, &OnDisconnected, nullptr};
TIMForceOfflineCB g_kick_offline = {&OnForceOffline, nullptr};
TIMUserSigExpiredCB g_sig_expired = {&OnUserSigExpired, nullptr};
TIMRefreshListener g_refresh = {&OnRefresh, &OnConversationRefresh, nullptr};
TIMMessageCB g_message = {&OnNewMessage, nullptr};

}  // namespace

void RegisterSdkRoutines() {
  TIMSetConnCallBack(&g_connection);
  TIMSetKickOfflineCallBack(&g_kick_offline);
  TIMSetUserSigExpiredCallBack(&g_sig_expired);
  TIMSetRefreshListener(&g_refresh);
  TIMSetMessageCallBack(&g_message);
}

TIMCommCB* LoginCompletionRecord() {
  return &g_login_completion;
}
TIMCommCB* LogoutCompletionRecord() {
  return &g_logout_completion;
}

}  // namespace kuvochat
