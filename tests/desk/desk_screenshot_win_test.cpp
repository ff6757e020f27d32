// A picture of the session window with the SDK's desktop in it, kept among the build's test
// artifacts (test-artifacts/desk_session_window.png next to bin/). Windows only: emulated windows
// show nothing.
#include <filesystem>

#include "desk_fixture.h"
#include "platform/testing/window_capture.h"
#include "png_file.h"

namespace kuvo_test {
namespace {

class ScreenshotTest : public DeskTest {};

TEST_F(ScreenshotTest, SessionWindowShowsTheRemoteDesktop) {
  SetCallback();
  Master("198.51.100.4:4118", "desk-77", "Screenshot");
  sl_control::RaiseRemoteEvent(sl_control::LastRemoteSession(), SLREMOTE_EVENT_CONNECTED);
  Settle();
  std::vector<uint32_t> pixels;
  int width = 0;
  int height = 0;
  bool captured = false;
  window_thread_.Run(
      [&] { captured = platform::CaptureWindowForTesting(Window(), &pixels, &width, &height); });
  ASSERT_TRUE(captured);
  // The first colour bars of the pattern: white, then yellow.
  auto at = [&](int x, int y) {
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] &
           0xFFFFFF;
  };
  EXPECT_EQ(at(width / 16, height / 3), 0xFFFFFFu);
  EXPECT_EQ(at(width * 3 / 16, height / 3), 0xFFFF00u);
  EXPECT_EQ(at(width * 11 / 16, height / 3), 0xFF0000u);
  const std::filesystem::path folder =
      std::filesystem::current_path().parent_path() / "test-artifacts";
  std::filesystem::create_directories(folder);
  EXPECT_TRUE(WritePng((folder / "desk_session_window.png").string(), pixels, width, height));
}

}  // namespace
}  // namespace kuvo_test
