// Messages, elements and offline-push information.
#include <memory>
#include <string>

#include "tim/tim_c.h"
#include "tim_state.h"

using tim::State;

namespace {
std::string Bytes(const char* buf, uint32_t len) {
  return buf ? std::string(buf, len) : std::string();
}
}  // namespace

extern "C" {

TIMMessageHandle CreateTIMMessage(void) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("CreateTIMMessage", {});
  return s.Adopt(std::make_unique<tim::MessageObject>(), tim::HandleKind::kMessage, true);
}

int DestroyTIMMessage(TIMMessageHandle msg) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("DestroyTIMMessage", {tim::PtrText(msg)});
  if (!s.Message(msg, "DestroyTIMMessage")) return -1;
  s.Forget(msg);
  return 0;
}

TIMMessageHandle CreateTIMMessageHandleFromData(const char* peer, int conv_type, uint32_t time,
                                                uint32_t reserved1, uint32_t reserved2,
                                                uint64_t rand, uint64_t seq, int status,
                                                bool is_read, bool is_self, const char* sender,
                                                const char* extra) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled)
    s.Log("CreateTIMMessageHandleFromData",
          {tim::Quote(peer), std::to_string(conv_type), std::to_string(time),
           std::to_string(reserved1), std::to_string(reserved2), std::to_string(rand),
           std::to_string(seq), std::to_string(status), is_read ? "1" : "0", is_self ? "1" : "0",
           tim::Quote(sender), tim::Quote(extra)});
  auto message = std::make_unique<tim::MessageObject>();
  message->data.peer = peer ? peer : "";
  message->data.conv_type = static_cast<TIMConversationType>(conv_type);
  message->data.time = time;
  message->data.rand = rand;
  message->data.seq = seq;
  message->data.status = status;
  message->data.is_read = is_read;
  message->data.is_self = is_self;
  message->data.sender = sender ? sender : "";
  return s.Adopt(std::move(message), tim::HandleKind::kMessage, true);
}

int AddElem(TIMMessageHandle msg, TIMMsgElemHandle elem) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("AddElem", {tim::PtrText(msg), tim::PtrText(elem)});
  tim::MessageObject* m = s.Message(msg, "AddElem");
  tim::ElemObject* e = s.Elem(elem, "AddElem");
  if (!m || !e) return -1;
  m->data.elems.push_back(e->data);
  return 0;
}

int GetElemCount(TIMMessageHandle msg) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("GetElemCount", {tim::PtrText(msg)});
  tim::MessageObject* m = s.Message(msg, "GetElemCount");
  return m ? static_cast<int>(m->data.elems.size()) : 0;
}

TIMMsgElemHandle GetElem(TIMMessageHandle msg, int index) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("GetElem", {tim::PtrText(msg), std::to_string(index)});
  tim::MessageObject* m = s.Message(msg, "GetElem");
  if (!m || index < 0 || static_cast<size_t>(index) >= m->data.elems.size()) return nullptr;
  auto view = std::make_unique<tim::ElemObject>();
  view->data = m->data.elems[static_cast<size_t>(index)];
  view->faults = &m->data.faults;
  tim::ElemObject* raw = view.get();
  s.handles[raw] = {tim::HandleKind::kElem, false};
  m->elem_views.push_back(std::move(view));
  return raw;
}

TIMElemType GetElemType(TIMMsgElemHandle elem) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("GetElemType", {tim::PtrText(elem)});
  tim::ElemObject* e = s.Elem(elem, "GetElemType");
  return e ? e->data.type : static_cast<TIMElemType>(0);
}

void DestroyElem(TIMMsgElemHandle elem) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("DestroyElem", {tim::PtrText(elem)});
  auto it = s.handles.find(elem);
  if (!s.Elem(elem, "DestroyElem")) return;
  if (!it->second.counted) {
    s.misuses.push_back("DestroyElem: element belongs to a message");
    return;
  }
  s.Forget(elem);
}

TIMMsgCustomElemHandle CreateCustomElemHandle(void) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("CreateCustomElemHandle", {});
  return s.Adopt(std::make_unique<tim::ElemObject>(), tim::HandleKind::kElem, true);
}

int GetCustomElemData(TIMMsgCustomElemHandle elem, char* buf, uint32_t* len) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled)
    s.Log("GetCustomElemData",
          {tim::PtrText(elem), tim::PtrText(buf), len ? std::to_string(*len) : "null"});
  tim::ElemObject* e = s.Elem(elem, "GetCustomElemData");
  if (!e) return -1;
  return tim::AnswerText(e->data.data, buf, len, e->faults, "GetCustomElemData");
}

int GetCustomElemDesc(TIMMsgCustomElemHandle elem, char* buf, uint32_t* len) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled)
    s.Log("GetCustomElemDesc",
          {tim::PtrText(elem), tim::PtrText(buf), len ? std::to_string(*len) : "null"});
  tim::ElemObject* e = s.Elem(elem, "GetCustomElemDesc");
  if (!e) return -1;
  return tim::AnswerText(e->data.desc, buf, len, e->faults, "GetCustomElemDesc");
}

int GetCustomElemExt(TIMMsgCustomElemHandle elem, char* buf, uint32_t* len) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled)
    s.Log("GetCustomElemExt",
          {tim::PtrText(elem), tim::PtrText(buf), len ? std::to_string(*len) : "null"});
  tim::ElemObject* e = s.Elem(elem, "GetCustomElemExt");
  if (!e) return -1;
  return tim::AnswerText(e->data.ext, buf, len, e->faults, "GetCustomElemExt");
}

void SetCustomElemData(TIMMsgCustomElemHandle elem, const char* buf, uint32_t len) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled)
    s.Log("SetCustomElemData", {tim::PtrText(elem), Bytes(buf, len), std::to_string(len)});
  if (tim::ElemObject* e = s.Elem(elem, "SetCustomElemData")) {
    e->data.type = kElemCustom;
    e->data.data = Bytes(buf, len);
  }
}

void SetCustomElemDesc(TIMMsgCustomElemHandle elem, const char* buf, uint32_t len) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled)
    s.Log("SetCustomElemDesc", {tim::PtrText(elem), Bytes(buf, len), std::to_string(len)});
  if (tim::ElemObject* e = s.Elem(elem, "SetCustomElemDesc")) e->data.desc = Bytes(buf, len);
}

void SetCustomElemExt(TIMMsgCustomElemHandle elem, const char* buf, uint32_t len) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled)
    s.Log("SetCustomElemExt", {tim::PtrText(elem), Bytes(buf, len), std::to_string(len)});
  if (tim::ElemObject* e = s.Elem(elem, "SetCustomElemExt")) e->data.ext = Bytes(buf, len);
}

int GetMsgSender(TIMMessageHandle msg, char* buf, uint32_t* len) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled)
    s.Log("GetMsgSender",
          {tim::PtrText(msg), tim::PtrText(buf), len ? std::to_string(*len) : "null"});
  tim::MessageObject* m = s.Message(msg, "GetMsgSender");
  if (!m) return -1;
  return tim::AnswerText(m->data.sender, buf, len, &m->data.faults, "GetMsgSender");
}

uint32_t GetMsgTime(TIMMessageHandle msg) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  tim::MessageObject* m = s.Message(msg, "GetMsgTime");
  return m ? m->data.time : 0;
}

uint64_t GetMsgUniqueID(TIMMessageHandle msg) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  tim::MessageObject* m = s.Message(msg, "GetMsgUniqueID");
  return m ? m->data.unique_id : 0;
}

int GetMsgStatus(TIMMessageHandle msg) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  tim::MessageObject* m = s.Message(msg, "GetMsgStatus");
  return m ? m->data.status : 0;
}

bool IsMsgFromSelf(TIMMessageHandle msg) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  tim::MessageObject* m = s.Message(msg, "IsMsgFromSelf");
  return m ? m->data.is_self : false;
}

bool IsMsgRead(TIMMessageHandle msg) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  tim::MessageObject* m = s.Message(msg, "IsMsgRead");
  return m ? m->data.is_read : false;
}

uint64_t GetMsgSeq(TIMMessageHandle msg) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  tim::MessageObject* m = s.Message(msg, "GetMsgSeq");
  return m ? m->data.seq : 0;
}

uint64_t GetMsgRand(TIMMessageHandle msg) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  tim::MessageObject* m = s.Message(msg, "GetMsgRand");
  return m ? m->data.rand : 0;
}

TIMOfflineInfoHandle CreateTIMTIMOfflineInfo(void) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("CreateTIMTIMOfflineInfo", {});
  return s.Adopt(std::make_unique<tim::OfflineObject>(), tim::HandleKind::kOffline, true);
}

void DestroyTIMTIMOfflineInfo(TIMOfflineInfoHandle info) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("DestroyTIMTIMOfflineInfo", {tim::PtrText(info)});
  if (s.Offline(info, "DestroyTIMTIMOfflineInfo")) s.Forget(info);
}

void SetDesc4TIMTIMOfflineInfo(TIMOfflineInfoHandle info, const char* desc, uint32_t len) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled)
    s.Log("SetDesc4TIMTIMOfflineInfo", {tim::PtrText(info), Bytes(desc, len), std::to_string(len)});
  if (tim::OfflineObject* o = s.Offline(info, "SetDesc4TIMTIMOfflineInfo")) {
    o->data.desc = Bytes(desc, len);
  }
}

void SetExt4TIMTIMOfflineInfo(TIMOfflineInfoHandle info, const char* ext, uint32_t len) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled)
    s.Log("SetExt4TIMTIMOfflineInfo", {tim::PtrText(info), Bytes(ext, len), std::to_string(len)});
  if (tim::OfflineObject* o = s.Offline(info, "SetExt4TIMTIMOfflineInfo")) {
    o->data.ext = Bytes(ext, len);
  }
}

void SetFlag4TIMTIMOfflineInfo(TIMOfflineInfoHandle info, TIMOfflinePushFlag flag) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled)
    s.Log("SetFlag4TIMTIMOfflineInfo",
          {tim::PtrText(info), std::to_string(static_cast<int>(flag))});
  if (tim::OfflineObject* o = s.Offline(info, "SetFlag4TIMTIMOfflineInfo")) o->data.flag = flag;
}

void SetNotifyMode4AndroidTIMTIMOfflineInfo(TIMOfflineInfoHandle info, uint32_t mode) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled)
    s.Log("SetNotifyMode4AndroidTIMTIMOfflineInfo", {tim::PtrText(info), std::to_string(mode)});
  if (tim::OfflineObject* o = s.Offline(info, "SetNotifyMode4AndroidTIMTIMOfflineInfo")) {
    o->data.notify_mode = mode;
  }
}

bool SetMsgOfflinePushInfo(TIMMessageHandle msg, TIMOfflineInfoHandle info) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("SetMsgOfflinePushInfo", {tim::PtrText(msg), tim::PtrText(info)});
  tim::MessageObject* m = s.Message(msg, "SetMsgOfflinePushInfo");
  tim::OfflineObject* o = s.Offline(info, "SetMsgOfflinePushInfo");
  if (!m || !o) return false;
  m->data.offline = o->data;
  return true;
}

}  // extern "C"
