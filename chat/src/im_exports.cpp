// The exports: each fetches the manager and forwards its arguments unchanged. Nothing crosses the
// boundary as an exception: a failure (to allocate, say) gives the export's failure value.
#include <string>
#include <utility>

#include "KuvoChat.h"
#include "im_mgr.h"

using kuvochat::CImMgr;

extern "C" {

KUVOCHAT_API uint64_t Im_CreateNewSeq() {
  try {
    return CImMgr::GetInstance()->CreateNewSeq();
  } catch (...) {
    return 0;
  }
}

KUVOCHAT_API bool Im_Init(uint64_t appId, uint32_t reserved, const wchar_t* dataPath) {
  try {
    return CImMgr::GetInstance()->Init(appId, reserved, dataPath);
  } catch (...) {
    return false;
  }
}

KUVOCHAT_API bool Im_Login(uint64_t userId, std::string accountType, std::string userSig) {
  try {
    const std::string account_copy = accountType;
    const std::string sig_copy = userSig;
    return CImMgr::GetInstance()->Login(userId, account_copy, sig_copy);
  } catch (...) {
    return false;
  }
}

KUVOCHAT_API void Im_Loginout() {
  try {
    CImMgr::GetInstance()->Loginout();
  } catch (...) {
  }
}

KUVOCHAT_API void Im_NotifyReleaseData() {
  try {
    CImMgr::GetInstance()->NotifyReleaseData();
  } catch (...) {
  }
}

KUVOCHAT_API void Im_RegConnCallBack(IConnCallBack* callback) {
  try {
    CImMgr::GetInstance()->RegConnCallBack(callback);
  } catch (...) {
  }
}

KUVOCHAT_API void Im_RegMsgCallBack(IMsgCallBack* callback) {
  try {
    CImMgr::GetInstance()->RegMsgCallBack(callback);
  } catch (...) {
  }
}

KUVOCHAT_API void Im_RegSessionCallBack(ISessionCallBack* callback) {
  try {
    CImMgr::GetInstance()->RegSessionCallBack(callback);
  } catch (...) {
  }
}

// Removal never needs memory, so it cannot fail: once it returns, the interface is not called.
KUVOCHAT_API void Im_RemoveConnCallBack(IConnCallBack* callback) {
  if (auto manager = CImMgr::GetExisting()) manager->RemoveConnCallBack(callback);
}

KUVOCHAT_API void Im_RemoveMsgCallBack(IMsgCallBack* callback) {
  if (auto manager = CImMgr::GetExisting()) manager->RemoveMsgCallBack(callback);
}

KUVOCHAT_API void Im_RemoveSessionCallBack(ISessionCallBack* callback) {
  if (auto manager = CImMgr::GetExisting()) manager->RemoveSessionCallBack(callback);
}

KUVOCHAT_API bool Im_ReqWithdrawMsg(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {
  try {
    CImMgr::GetInstance();
  } catch (...) {
  }
  return false;
}

KUVOCHAT_API void Im_UnInit() {
  try {
    CImMgr::GetInstance()->UnInit();
  } catch (...) {
  }
  CImMgr::DestroyInstance();
}

}  // extern "C"
