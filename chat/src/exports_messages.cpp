// The message and conversation exports: each fetches the manager and forwards its arguments.
// Nothing crosses the boundary as an exception: a failure (to allocate, say) is reported as the
// export's failure value.
#include <cstdint>
#include <new>

#include "KuvoChat.h"
#include "im_mgr.h"

using kuvochat::CImMgr;

extern "C" {

KUVOCHAT_API uint64_t Im_GetMsgList(uint32_t peerKind, uint64_t peerId, uint32_t count,
                                    int32_t mode, const tagTimMsgLocator* anchor) {
  try {
    return CImMgr::GetInstance()->GetMsgList(peerKind, peerId, count, mode, anchor);
  } catch (...) {
    return 0;
  }
}

KUVOCHAT_API void Im_GetRecentList() {
  try {
    CImMgr::GetInstance()->GetRecentList();
  } catch (...) {
  }
}

KUVOCHAT_API int32_t Im_GetTalkUnReadCnt(uint32_t peerKind, uint64_t peerId) {
  try {
    return CImMgr::GetInstance()->GetTalkUnReadCnt(peerKind, peerId);
  } catch (...) {
    return 0;
  }
}

KUVOCHAT_API uint8_t Im_RemoveTalk(uint32_t peerKind, uint64_t peerId, bool withMessages) {
  try {
    return CImMgr::GetInstance()->RemoveTalk(peerKind, peerId, withMessages);
  } catch (...) {
    return 0;
  }
}

KUVOCHAT_API bool Im_SendMsg(const tagTimSendMsgInfo* msg, bool onlineOnly, bool wrap) {
  try {
    return CImMgr::GetInstance()->SendMsg(msg, onlineOnly, wrap);
  } catch (...) {
    return false;
  }
}

KUVOCHAT_API void Im_SetReadMsg(uint32_t peerKind, uint64_t peerId) {
  try {
    CImMgr::GetInstance()->SetReadMsg(peerKind, peerId);
  } catch (...) {
  }
}

}  // extern "C"
