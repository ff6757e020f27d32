// A host's own declarations of the records, interfaces and exports it shares with KuvoChat and
// KuvoFetch, written from the published slot tables alone: no public header of either library
// is included. The first slot of each interface is one function of the host's choosing, then the
// called operations at their numbered slots. Each interface ends in trap slots that a library
// calling one slot too far would reach.
//
// The records and the task types (base/smart_ptr.h, base/runnable_task.h) are shared C++ types;
// only the interfaces' slot layout is under test here.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>

#include "base/runnable_task.h"
#include "base/smart_ptr.h"
#include "base/smart_ref.h"

namespace slot_host {

struct tagTimMsgLocator {
  bool isRead;
  bool isSelf;
  int32_t status;
  int32_t convType;
  uint64_t time;
  uint64_t rand;
  uint64_t seq;
  std::string peer;
  std::string sender;
};

struct tagTimMsgInfo {
  uint8_t flag;
  uint32_t peerKind;
  uint64_t msgId;
  uint64_t peerId;
  std::string content;
  std::string desc;
  std::string ext;
  tagTimMsgLocator locator;
};

struct tagTimSendMsgInfo {
  int32_t cmd = 0;
  uint32_t peerKind = 0;
  uint64_t msgId = 0;
  uint64_t peerId = 0;
  std::string pushText;
  std::string payload;
};

struct tagTimTalkInfo {
  uint8_t reserved1;
  uint8_t reserved2;
  uint32_t peerKind;
  int32_t unreadCount;
  uint64_t time;
  uint64_t peerId;
  int64_t senderId;
  uint64_t msgId;
  std::string lastDesc;
  std::string reservedText;
};

// KuvoChat's host interfaces: slot 1 any function, then the operations.
class IConnCallBack {
 public:
  virtual void FirstSlot() = 0;                                  // 1
  virtual void OnConnEvent(int32_t code, std::string text) = 0;  // 2

 protected:
  ~IConnCallBack() = default;
};

class IMsgCallBack {
 public:
  virtual void FirstSlot() = 0;                                                      // 1
  virtual void OnNewMsgs(const std::list<tagTimMsgInfo>* msgs) = 0;                  // 2
  virtual void OnSendResult(bool sent, uint64_t seq, const tagTimMsgInfo* msg) = 0;  // 3
  virtual void OnMsgListResult(uint64_t seq, const std::list<tagTimMsgInfo>* msgs,   // 4
                               bool reachedEnd) = 0;

 protected:
  ~IMsgCallBack() = default;
};

class ISessionCallBack {
 public:
  virtual void FirstSlot() = 0;                                                  // 1
  virtual void OnRecentList(const std::list<tagTimTalkInfo>* talks) = 0;         // 2
  virtual void OnSessionChanged(const std::map<uint64_t, uint32_t>* peers) = 0;  // 3

 protected:
  ~ISessionCallBack() = default;
};

// The services a host lends to KuvoFetch.
class IThreadCallback : public Base::ISmartRef {
 public:
  virtual const char* GetName() = 0;
  virtual void Run() = 0;
};

class IThreadService {
 public:
  virtual void FirstSlot() = 0;                                                            // 1
  virtual bool StartThread(Base::CSmartPtr<IThreadCallback> callback, uint32_t* key) = 0;  // 2
  virtual bool StopThread(uint32_t key, int value) = 0;                                    // 3

 protected:
  ~IThreadService() = default;
};

class ITaskRunner {
 public:
  virtual void FirstSlot() = 0;                                          // 1
  virtual bool IsCurrentThread() = 0;                                    // 2
  virtual void PostTask(Base::CSmartPtr<Base::CRunnableTask> task) = 0;  // 3

 protected:
  ~ITaskRunner() = default;
};

class IHttpRequest {
 public:
  virtual long AddRef() = 0;
  virtual long Release() = 0;
  virtual std::string GetUrl() = 0;
  virtual std::string GetData() = 0;
  virtual void SetResponse(const std::string& response) = 0;
  virtual void SetResultCode(int32_t code) = 0;
  virtual uint32_t GetAttempts() = 0;
  virtual int32_t GetMethod() = 0;
  virtual int32_t GetContentType() = 0;
  virtual uint32_t GetRetryDelay() = 0;
  virtual std::map<std::string, std::string> GetHeaders() = 0;
  virtual std::string GetProxy() = 0;
  virtual void Clone(IHttpRequest** out) = 0;

 protected:
  ~IHttpRequest() = default;
};

}  // namespace slot_host

extern "C" {
uint64_t Im_CreateNewSeq();
bool Im_Init(uint64_t appId, uint32_t reserved, const wchar_t* dataPath);
bool Im_Login(uint64_t userId, std::string accountType, std::string userSig);
void Im_NotifyReleaseData();
void Im_RegConnCallBack(slot_host::IConnCallBack* callback);
void Im_RegMsgCallBack(slot_host::IMsgCallBack* callback);
void Im_RegSessionCallBack(slot_host::ISessionCallBack* callback);
void Im_RemoveConnCallBack(slot_host::IConnCallBack* callback);
void Im_RemoveMsgCallBack(slot_host::IMsgCallBack* callback);
void Im_RemoveSessionCallBack(slot_host::ISessionCallBack* callback);
bool Im_SendMsg(const slot_host::tagTimSendMsgInfo* msg, bool onlineOnly, bool wrap);
uint64_t Im_GetMsgList(uint32_t peerKind, uint64_t peerId, uint32_t count, int32_t mode,
                       const slot_host::tagTimMsgLocator* anchor);
void Im_GetRecentList();
void Im_UnInit();

bool HttpInit(slot_host::IThreadService* threadService, slot_host::ITaskRunner* taskRunner);
uint32_t HttpStartRequest(slot_host::IHttpRequest* request,
                          void (*callback)(uint32_t id, slot_host::IHttpRequest* request));
void HttpUnInit();
}
