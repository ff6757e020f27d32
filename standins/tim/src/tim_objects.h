// The stand-in's in-memory objects and the handle table that checks every handle it is given.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tim/tim_control.h"

namespace tim {

struct ElemData {
  TIMElemType type = kElemCustom;
  std::string data;
  std::string desc;
  std::string ext;
};

struct OfflineData {
  int flag = 0;
  std::string desc;
  std::string ext;
  uint32_t notify_mode = 0;
};

struct MessageData {
  TIMConversationType conv_type = kCnvNone;
  std::string peer;
  std::string sender;
  uint64_t seq = 0;
  uint64_t rand = 0;
  uint32_t time = 0;
  int status = kMsgStatusSending;
  uint64_t unique_id = 0;
  bool is_read = false;
  bool is_self = false;
  std::vector<ElemData> elems;
  std::optional<OfflineData> offline;
  std::map<std::string, tim_control::QueryFault> faults;
  int conversation_from_msg_result = 0;
};

enum class HandleKind { kConversation, kMessage, kElem, kOffline };

struct ConversationObject {
  TIMConversationType type = kCnvNone;
  std::string peer;
  bool filled = false;
  std::map<std::string, tim_control::QueryFault> faults;
};

struct ElemObject {
  ElemData data;
  std::map<std::string, tim_control::QueryFault>* faults = nullptr;  // the owning message's
};

struct MessageObject {
  MessageData data;
  // Elements handed out by GetElem; they belong to the message.
  std::vector<std::unique_ptr<ElemObject>> elem_views;
};

struct OfflineObject {
  OfflineData data;
};

// A conversation of the store.
struct StoredConversation {
  TIMConversationType type = kCnvNone;
  std::string peer;
  uint64_t unread = 0;
  std::vector<MessageData> messages;  // oldest first
};

}  // namespace tim
