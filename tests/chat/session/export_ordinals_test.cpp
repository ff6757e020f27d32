// The export table of KuvoChat.dll: hosts may bind by ordinal, so each of the nineteen exports
// must sit at its fixed ordinal (1 to 19, in the alphabetical order of the names).
#include <gtest/gtest.h>

#include <cstdint>

#include "KuvoChat.h"
#include "platform/dynamic_library.h"

namespace kuvo_test {
namespace {

#if defined(_WIN32)
TEST(ExportOrdinals, EveryExportSitsAtItsOrdinal) {
  const char* const names[] = {"Im_CreateNewSeq",
                               "Im_GetMsgList",
                               "Im_GetRecentList",
                               "Im_GetTalkUnReadCnt",
                               "Im_Init",
                               "Im_Login",
                               "Im_Loginout",
                               "Im_NotifyReleaseData",
                               "Im_RegConnCallBack",
                               "Im_RegMsgCallBack",
                               "Im_RegSessionCallBack",
                               "Im_RemoveConnCallBack",
                               "Im_RemoveMsgCallBack",
                               "Im_RemoveSessionCallBack",
                               "Im_RemoveTalk",
                               "Im_ReqWithdrawMsg",
                               "Im_SendMsg",
                               "Im_SetReadMsg",
                               "Im_UnInit"};
  // Linked by import, so the library is loaded already.
  platform::LibraryHandle library = platform::LoadedLibraryByName(L"KuvoChat.dll");
  ASSERT_NE(library, nullptr);
  uint16_t ordinal = 1;
  for (const char* name : names) {
    void* by_name = platform::FindExport(library, name);
    void* by_ordinal = platform::FindExportByOrdinal(library, ordinal);
    EXPECT_NE(by_name, nullptr) << name;
    EXPECT_EQ(by_name, by_ordinal) << name << " at ordinal " << ordinal;
    ++ordinal;
  }
  EXPECT_EQ(platform::FindExportByOrdinal(library, 20), nullptr) << "nothing beyond 19";
  EXPECT_EQ(platform::FindExport(library, "Im_SendMsg"), reinterpret_cast<void*>(&Im_SendMsg));
}
#endif

}  // namespace
}  // namespace kuvo_test
