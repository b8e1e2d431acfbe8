// A minimal PNG encoder for test screenshots: 8-bit RGB, no interlace, the
// image data in stored (uncompressed) deflate blocks, so it needs no zlib.
// The files are larger than compressed ones but open in any viewer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace TarnoTest {

// CRC-32 as PNG chunks use it (polynomial 0xEDB88320, reflected, initial
// and final value 0xFFFFFFFF).
uint32_t crc32 (const uint8_t* data, size_t size, uint32_t crc = 0);

// Adler-32 as the zlib stream trailer uses it.
uint32_t adler32 (const uint8_t* data, size_t size);

// The complete PNG file for a width × height image. rgb holds the rows top
// to bottom, 3 bytes per pixel; it must have width × height × 3 bytes,
// otherwise the result is empty.
std::vector<uint8_t> encodePng (int width, int height, const std::vector<uint8_t>& rgb);

// encodePng written to path; false when the image is invalid or the file
// could not be written completely.
bool writePng (const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

} // namespace TarnoTest
