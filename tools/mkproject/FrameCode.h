#pragma once

// Frame numbers written into the picture and read back: a row of kFrameCodeBlocks blocks
// of equal width across the middle of the frame. The first block is always white and the
// last always black; the kFrameCodeBits between them are the frame number, lowest bit
// first, white for 1. Blocks are at least 16 pixels wide and 16 high, aligned to the
// codecs' macroblocks, so lossy compression does not flip them.

#include <cstdint>
#include <string>

namespace kanvio::generator {

constexpr int kFrameCodeBits = 20; // 2^20 frames: 11 hours at 25 fps
constexpr int kFrameCodeBlocks = kFrameCodeBits + 2;

struct TFrameCodeGeometry {
    int Left = 0;
    int Top = 0;
    int BlockWidth = 0;
    int BlockHeight = 16;
};

// Where the row lies in a picture of that size; BlockWidth 0 when the picture is too
// small to carry it (narrower than 16 pixels per block).
TFrameCodeGeometry FrameCodeGeometry(int width, int height);

// The ffmpeg filter chain that draws the row (frame number n of the filter's input).
std::string FrameCodeFilter(int width, int height);

// Reads the frame number from a picture in 32-bit pixels (B, G, R, X as QImage's RGB32
// keeps them); -1 when the guard blocks are not where they belong (no code, or a picture
// too damaged or scaled to read).
int ReadFrameCode(const uint8_t* pixels, int width, int height, int bytesPerLine);

} // namespace kanvio::generator
