// Writes 32-bit pixels as a PNG file (stored deflate blocks: no compression library needed).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kuvo_test {

// `pixels`: rows of 0xAARRGGBB, top row first. False when the file cannot be written.
bool WritePng(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height);

}  // namespace kuvo_test
