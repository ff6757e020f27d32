// The write callback's answer to libcurl when the body cannot be stored: 0, which makes libcurl
// end the transfer with a write error, and never an exception through libcurl's C frames.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <new>
#include <string>

#include "curl_obj.h"

// Out of memory is made by this binary's own operator new. Only where the C++ runtime's string
// code calls the program's replacement: ELF interposition does that; a mingw program's
// replacement does not reach the runtime DLL's allocations.
#if !defined(_WIN32)
#define KUVO_TEST_REPLACES_NEW 1
namespace {
// Allocations on this thread fail while set.
thread_local bool t_fail_allocations = false;
}  // namespace

void* operator new(std::size_t size) {
  if (t_fail_allocations) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return ::operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
#endif

namespace {

using Http::CurlObj;

TEST(WriteBody, AppendsEverythingItIsGivenAndAnswersTheByteCount) {
  std::string body = "ab";
  char data[] = {'c', '\0', 'd', 'e', 'f', 'g'};
  EXPECT_EQ(CurlObj::WriteBody(data, 2, 3, &body), 6u);
  EXPECT_EQ(body, std::string("abc\0defg", 8));
  EXPECT_EQ(CurlObj::WriteBody(data, 1, 6, nullptr), 6u);  // no target: consumed, not kept
  EXPECT_EQ(CurlObj::WriteBody(data, 0, 6, &body), 0u);
  EXPECT_EQ(body.size(), 8u);
}

#if defined(KUVO_TEST_REPLACES_NEW)
TEST(WriteBody, OutOfMemoryAnswersZeroAndKeepsTheBodyAsItWas) {
  std::string body = "kept";
  body.shrink_to_fit();
  std::string chunk(4096, 'x');
  t_fail_allocations = true;
  const size_t answer = CurlObj::WriteBody(&chunk[0], 1, chunk.size(), &body);
  t_fail_allocations = false;
  EXPECT_EQ(answer, 0u);
  EXPECT_EQ(body, "kept");
}
#endif

TEST(WriteBody, SizesBeyondAStringAnswerZero) {
  std::string body = "kept";
  char data[1] = {'x'};
  // size × count overflows size_t.
  EXPECT_EQ(CurlObj::WriteBody(data, 2, std::numeric_limits<size_t>::max() / 2 + 1, &body), 0u);
  // More than a string can ever hold (length_error, not bad_alloc): nothing is read from `data`.
  EXPECT_EQ(CurlObj::WriteBody(data, 1, body.max_size(), &body), 0u);
  EXPECT_EQ(body, "kept");
}

}  // namespace
