// The exports: each fetches the manager and forwards its arguments unchanged.
#include <string>
#include <utility>

#include "KuvoChat.h"
#include "im_mgr.h"

using kuvochat::CImMgr;

extern "C" {

KUVOCHAT_API uint64_t Im_CreateNewSeq() {
  return CImMgr::GetInstance()->CreateNewSeq();
}

KUVOCHAT_API bool Im_Init(uint64_t appId, uint32_t reserved, const wchar_t* dataPath) {
  return CImMgr::GetInstance()->Init(appId, reserved, dataPath);
}

KUVOCHAT_API bool Im_Login(uint64_t userId, std::string accountType, std::string userSig) {
  const std::string account_copy = accountType;
  const std::string sig_copy = userSig;
  return CImMgr::GetInstance()->Login(userId, account_copy, sig_copy);
}

KUVOCHAT_API void Im_Loginout() {
  CImMgr::GetInstance()->Loginout();
}

KUVOCHAT_API void Im_NotifyReleaseData() {
  CImMgr::GetInstance()->NotifyReleaseData();
}

KUVOCHAT_API void Im_RegConnCallBack(IConnCallBack* callback) {
  CImMgr::GetInstance()->RegConnCallBack(callback);
}

KUVOCHAT_API void Im_RegMsgCallBack(IMsgCallBack* callback) {
  CImMgr::GetInstance()->RegMsgCallBack(callback);
}

KUVOCHAT_API void Im_RegSessionCallBack(ISessionCallBack* callback) {
  CImMgr::GetInstance()->RegSessionCallBack(callback);
}

KUVOCHAT_API void Im_RemoveConnCallBack(IConnCallBack* callback) {
  CImMgr::GetInstance()->RemoveConnCallBack(callback);
}

KUVOCHAT_API void Im_RemoveMsgCallBack(IMsgCallBack* callback) {
  CImMgr::GetInstance()->RemoveMsgCallBack(callback);
}

KUVOCHAT_API void Im_RemoveSessionCallBack(ISessionCallBack* callback) {
  CImMgr::GetInstance()->RemoveSessionCallBack(callback);
}

KUVOCHAT_API bool Im_ReqWithdrawMsg(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {
  CImMgr::GetInstance();
  return false;
}

KUVOCHAT_API void Im_UnInit() {
  CImMgr::GetInstance()->UnInit();
  CImMgr::DestroyInstance();
}

}  // extern "C"
