// The IM SDK's C interface (libtim), as the vendor's public Windows headers name it.
//
// This library is a stand-in: it keeps accounts, conversations and messages in memory and calls
// the registered routines on a thread of its own (or, when a test asks, on the calling thread;
// see tim_control.h). The names, argument lists and result types follow the vendor's headers so
// that a Windows build can link the vendor's library in its place; the few functions whose
// public signature is unknown are marked "ours".
//
// Handles are opaque. Every Create* handle belongs to the caller until its Destroy* call; the
// handles handed to a callback (messages, conversations) belong to the SDK and are valid only
// during that call. Text getters follow one length protocol: called with no buffer (or *len 0)
// they answer -2 and write the needed length to *len; with a buffer they copy at most *len
// bytes, write the copied length to *len, and answer 0 when the whole text fit with its
// terminating zero, -2 (with the needed length) when it did not.
#pragma once

#include <stdint.h>

#if defined(_WIN32)
#if defined(TIM_BUILDING_LIBRARY)
#define TIM_DECL __declspec(dllexport)
#else
#define TIM_DECL __declspec(dllimport)
#endif
#else
#define TIM_DECL __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void* TIMConversationHandle;
typedef void* TIMMessageHandle;
typedef void* TIMMsgElemHandle;
typedef void* TIMMsgCustomElemHandle;
typedef void* TIMOfflineInfoHandle;

typedef enum {
  kCnvNone = 0,
  kCnvC2C = 1,
  kCnvGroup = 2,
  kCnvSystem = 3,
} TIMConversationType;

typedef enum {
  kElemText = 1,
  kElemImage = 2,
  kElemSound = 3,
  kElemFile = 4,
  kElemCustom = 5,
  kElemFace = 6,
} TIMElemType;

typedef enum {
  kMsgStatusSending = 1,
  kMsgStatusSuccess = 2,
  kMsgStatusFail = 3,
  kMsgStatusDeleted = 4,
  kMsgStatusImported = 5,
} TIMMessageStatus;

typedef enum {
  kLogNone = 0,
  kLogError = 1,
  kLogWarn = 2,
  kLogInfo = 3,
  kLogDebug = 4,
} TIMLogLevel;

typedef enum {
  kOfflinePushDefault = 0,
  kOfflinePushNone = 1,
} TIMOfflinePushFlag;

enum {
  kTimErrNotLoggedIn = 6014,
  kTimErrUserSigExpired = 6206,
  kTimErrKickedOff = 6208,
  kTimErrAuthFailed = 20002,
};

// Six pointer-sized fields.
typedef struct {
  const char* account_type;
  const char* app_id_at_3rd;
  const char* identifier;
  const char* tinyid;
  void* reserved1;
  void* reserved2;
} TIMUserInfo;

typedef struct {
  void (*OnSuccess)(void* data);
  void (*OnError)(int code, const char* desc, void* data);
  void* data;
} TIMCommCB;

typedef struct {
  void (*OnNewMessage)(TIMMessageHandle* handles, uint32_t msg_num, void* data);
  void* data;
} TIMMessageCB;

typedef struct {
  void (*OnSuccess)(TIMMessageHandle* handle_array, int size, void* data);
  void (*OnError)(int code, const char* desc, void* data);
  void* data;
} TIMGetMsgCB;

typedef struct {
  void (*OnConnected)(void* data);
  void (*OnDisconnected)(int code, const char* desc, void* data);
  void* data;
} TIMConnCB;

typedef struct {
  void (*OnForceOffline)(void* data);
  void* data;
} TIMForceOfflineCB;

typedef struct {
  void (*OnUserSigExpired)(void* data);
  void* data;
} TIMUserSigExpiredCB;

// Ours: the account's data was loaded; some conversations changed.
typedef struct {
  void (*OnRefresh)(void* data);
  void (*OnConversationRefresh)(TIMConversationHandle* conversations, uint32_t num, void* data);
  void* data;
} TIMRefreshListener;

// Set-up and session.
TIM_DECL int TIMInit(void);
TIM_DECL int TIMUninit(void);
TIM_DECL void TIMSetMode(int mode);
TIM_DECL void TIMSetPath(const char* path);
TIM_DECL void TIMSetLogLevel(TIMLogLevel level);
TIM_DECL void TIMDisableAutoReport(void);
TIM_DECL void TIMDisableRecentContactNotify(void);
TIM_DECL void TIMSetClientVersion(const char* version);  // ours
TIM_DECL int TIMLogin(int sdk_app_id, const TIMUserInfo* user, const char* user_sig, TIMCommCB* cb);
TIM_DECL void TIMLogout(TIMCommCB* cb);
TIM_DECL void TIMSetMessageCallBack(TIMMessageCB* cb);
TIM_DECL void TIMSetConnCallBack(TIMConnCB* cb);
TIM_DECL void TIMSetKickOfflineCallBack(TIMForceOfflineCB* cb);
TIM_DECL void TIMSetUserSigExpiredCallBack(TIMUserSigExpiredCB* cb);
TIM_DECL void TIMSetRefreshListener(TIMRefreshListener* listener);  // ours

// Conversations.
TIM_DECL uint64_t TIMGetConversationCount(void);
TIM_DECL int TIMGetConversation(TIMConversationHandle handle, TIMConversationType type,
                                const char* peer);
TIM_DECL int TIMGetConversationByIndex(TIMConversationHandle handle, uint64_t index);
TIM_DECL bool TIMDeleteConversation(TIMConversationType type, const char* peer);
TIM_DECL bool TIMDeleteConversationAndMsgs(TIMConversationType type, const char* peer);
TIM_DECL TIMConversationHandle CreateConversation(void);
TIM_DECL void DestroyConversation(TIMConversationHandle handle);
TIM_DECL void SendMsg(TIMConversationHandle conv, TIMMessageHandle msg, TIMCommCB* cb);
TIM_DECL void SendOnlineMsg(TIMConversationHandle conv, TIMMessageHandle msg, TIMCommCB* cb);
TIM_DECL void GetMsgs(TIMConversationHandle conv, int count, TIMMessageHandle anchor,
                      TIMGetMsgCB* cb);
TIM_DECL void GetMsgsForward(TIMConversationHandle conv, int count, TIMMessageHandle anchor,
                             TIMGetMsgCB* cb);
TIM_DECL void SyncC2CRambleMsgs(TIMConversationHandle conv, int count, TIMMessageHandle anchor,
                                TIMGetMsgCB* cb);  // ours
TIM_DECL int GetMsgsFromCache(TIMConversationHandle conv, int* count, TIMMessageHandle anchor,
                              TIMMessageHandle* msgs);
TIM_DECL void SetReadMsg(TIMConversationHandle conv, TIMMessageHandle last_read);
TIM_DECL uint64_t GetUnreadMessageNum(TIMConversationHandle conv);
TIM_DECL int GetConversationPeer(TIMConversationHandle conv, char* buf, uint32_t* len);
TIM_DECL TIMConversationType GetConversationType(TIMConversationHandle conv);
TIM_DECL int GetConversationFromMsg(TIMConversationHandle conv, TIMMessageHandle msg);

// Messages and elements.
TIM_DECL TIMMessageHandle CreateTIMMessage(void);
TIM_DECL int DestroyTIMMessage(TIMMessageHandle msg);
// Ours: rebuilds a message of the store from what a record kept of it.
TIM_DECL TIMMessageHandle CreateTIMMessageHandleFromData(const char* peer, int conv_type,
                                                         uint32_t time, uint32_t reserved1,
                                                         uint32_t reserved2, uint64_t rand,
                                                         uint64_t seq, int status, bool is_read,
                                                         bool is_self, const char* sender,
                                                         const char* extra);
TIM_DECL int AddElem(TIMMessageHandle msg, TIMMsgElemHandle elem);
TIM_DECL int GetElemCount(TIMMessageHandle msg);
TIM_DECL TIMMsgElemHandle GetElem(TIMMessageHandle msg, int index);
TIM_DECL TIMElemType GetElemType(TIMMsgElemHandle elem);
TIM_DECL void DestroyElem(TIMMsgElemHandle elem);
TIM_DECL TIMMsgCustomElemHandle CreateCustomElemHandle(void);
TIM_DECL int GetCustomElemData(TIMMsgCustomElemHandle elem, char* buf, uint32_t* len);
TIM_DECL int GetCustomElemDesc(TIMMsgCustomElemHandle elem, char* buf, uint32_t* len);
TIM_DECL int GetCustomElemExt(TIMMsgCustomElemHandle elem, char* buf, uint32_t* len);
TIM_DECL void SetCustomElemData(TIMMsgCustomElemHandle elem, const char* buf, uint32_t len);
TIM_DECL void SetCustomElemDesc(TIMMsgCustomElemHandle elem, const char* buf, uint32_t len);
TIM_DECL void SetCustomElemExt(TIMMsgCustomElemHandle elem, const char* buf, uint32_t len);
TIM_DECL int GetMsgSender(TIMMessageHandle msg, char* buf, uint32_t* len);
TIM_DECL uint32_t GetMsgTime(TIMMessageHandle msg);
TIM_DECL uint64_t GetMsgUniqueID(TIMMessageHandle msg);
TIM_DECL int GetMsgStatus(TIMMessageHandle msg);
TIM_DECL bool IsMsgFromSelf(TIMMessageHandle msg);
TIM_DECL bool IsMsgRead(TIMMessageHandle msg);
TIM_DECL uint64_t GetMsgSeq(TIMMessageHandle msg);   // ours
TIM_DECL uint64_t GetMsgRand(TIMMessageHandle msg);  // ours

// Offline-push information.
TIM_DECL TIMOfflineInfoHandle CreateTIMTIMOfflineInfo(void);
TIM_DECL void DestroyTIMTIMOfflineInfo(TIMOfflineInfoHandle info);
TIM_DECL void SetDesc4TIMTIMOfflineInfo(TIMOfflineInfoHandle info, const char* desc, uint32_t len);
TIM_DECL void SetExt4TIMTIMOfflineInfo(TIMOfflineInfoHandle info, const char* ext, uint32_t len);
TIM_DECL void SetFlag4TIMTIMOfflineInfo(TIMOfflineInfoHandle info, TIMOfflinePushFlag flag);
TIM_DECL void SetNotifyMode4AndroidTIMTIMOfflineInfo(TIMOfflineInfoHandle info, uint32_t mode);
TIM_DECL bool SetMsgOfflinePushInfo(TIMMessageHandle msg, TIMOfflineInfoHandle info);

#ifdef __cplusplus
}
#endif
