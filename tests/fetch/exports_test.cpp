// The shipped library's export table: the four request functions and nothing for tests.
#include <gtest/gtest.h>

#include "platform/dynamic_library.h"

namespace {

TEST(KuvoFetchExports, ShippedLibraryExportsTheFourFunctionsOnly) {
  platform::LibraryHandle library = platform::LoadLibraryByName(L"KuvoFetch.dll");
  ASSERT_NE(library, nullptr);
  for (const char* name : {"HttpInit", "HttpStartRequest", "HttpStopRequest", "HttpUnInit"}) {
    EXPECT_NE(platform::FindExport(library, name), nullptr) << name;
  }
  EXPECT_EQ(platform::FindExport(library, "HttpSetLastRequestIdForTesting"), nullptr);
}

}  // namespace
