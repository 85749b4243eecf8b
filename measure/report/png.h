// PNG files, the one place that reads and writes them: still pictures (8-bit RGB) and
// animated ones, frames of one size that play in a browser without script.
#pragma once

#include "measure/core/metrics.h"

#include <cstdint>
#include <string>
#include <vector>

namespace measure {

// An 8-bit RGB PNG; false when it cannot be written.
bool writePng(const std::string& path, const Image& image);
// Deflate's effort for every PNG written after the call, 0 to 9 (8 until then).
void setPngEffort(int level);
// An 8-bit RGB picture from a PNG file or its bytes; empty when it cannot be read.
Image readPng(const std::string& path);
Image decodePng(const std::vector<std::uint8_t>& bytes);

// The file's bytes: every frame whole (no offsets, no blending), `delayMs` each, looping
// forever; a viewer without animation shows the first frame. Empty without frames or when
// they differ in size.
std::vector<std::uint8_t> encodeApng(const std::vector<Image>& frames, int delayMs);
// Writes encodeApng's bytes; false when it cannot.
bool writeApng(const std::string& path, const std::vector<Image>& frames, int delayMs);

// The CRC-32 of PNG chunks (ISO 3309), over the chunk's type and data.
std::uint32_t pngCrc(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace measure
