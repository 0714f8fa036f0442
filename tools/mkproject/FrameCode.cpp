#include "tools/mkproject/FrameCode.h"

namespace kanvio::generator {

TFrameCodeGeometry FrameCodeGeometry(int width, int height) {
    TFrameCodeGeometry geometry;
    const int block = (width / kFrameCodeBlocks) / 16 * 16;
    if (block < 16 || height < 48)
        return geometry;
    geometry.BlockWidth = block;
    geometry.Left = (width - block * kFrameCodeBlocks) / 2 / 16 * 16;
    geometry.Top = (height / 2) / 16 * 16;
    return geometry;
}

std::string FrameCodeFilter(int width, int height) {
    const TFrameCodeGeometry g = FrameCodeGeometry(width, height);
    if (g.BlockWidth == 0)
        return {};
    const auto box = [&](int index, const char* colour) {
        return "drawbox=x=" + std::to_string(g.Left + index * g.BlockWidth) +
               ":y=" + std::to_string(g.Top) + ":w=" + std::to_string(g.BlockWidth) +
               ":h=" + std::to_string(g.BlockHeight) + ":color=" + colour + ":t=fill";
    };
    // The black row first, then the white guard and one white block per bit that is set.
    std::string filter = "drawbox=x=" + std::to_string(g.Left) + ":y=" + std::to_string(g.Top) +
                         ":w=" + std::to_string(g.BlockWidth * kFrameCodeBlocks) +
                         ":h=" + std::to_string(g.BlockHeight) + ":color=black:t=fill";
    filter += "," + box(0, "white");
    for (int bit = 0; bit < kFrameCodeBits; ++bit)
        filter += "," + box(bit + 1, "white") + ":enable='eq(mod(floor(n/" +
                  std::to_string(1 << bit) + ")\\,2)\\,1)'";
    return filter;
}

namespace {

// Mean brightness of the inner half of a block, 0..255.
int BlockLevel(const uint8_t* pixels, int bytesPerLine, const TFrameCodeGeometry& g, int index) {
    const int x0 = g.Left + index * g.BlockWidth + g.BlockWidth / 4;
    const int x1 = x0 + g.BlockWidth / 2;
    const int y0 = g.Top + g.BlockHeight / 4;
    const int y1 = y0 + g.BlockHeight / 2;
    long sum = 0;
    long count = 0;
    for (int y = y0; y < y1; ++y) {
        const uint8_t* row = pixels + static_cast<long>(y) * bytesPerLine;
        for (int x = x0; x < x1; ++x) {
            const uint8_t* p = row + 4 * x;
            sum += p[0] + p[1] + p[2];
            count += 3;
        }
    }
    return count ? static_cast<int>(sum / count) : 0;
}

} // namespace

int ReadFrameCode(const uint8_t* pixels, int width, int height, int bytesPerLine) {
    const TFrameCodeGeometry g = FrameCodeGeometry(width, height);
    if (pixels == nullptr || g.BlockWidth == 0 || bytesPerLine < 4 * width)
        return -1;
    // Clear levels only: a block near grey means a blurred or foreign picture.
    const auto bitOf = [&](int index) {
        const int level = BlockLevel(pixels, bytesPerLine, g, index);
        return level >= 176 ? 1 : level <= 80 ? 0 : -1;
    };
    if (bitOf(0) != 1 || bitOf(kFrameCodeBlocks - 1) != 0)
        return -1;
    int number = 0;
    for (int bit = 0; bit < kFrameCodeBits; ++bit) {
        const int value = bitOf(bit + 1);
        if (value < 0)
            return -1;
        number |= value << bit;
    }
    return number;
}

} // namespace kanvio::generator
