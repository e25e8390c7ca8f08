#include "export/xls/XLSXPalette.h"

namespace karto {

namespace {

constexpr std::array<std::uint32_t, XLSXPalette::kCount> kDefaultPalette = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,   //  8-15
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,   // 16-23
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,   // 24-31
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,   // 32-39
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,   // 40-47
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,   // 48-55
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,   // 56-63
};

} // namespace

XLSXPalette::XLSXPalette() : colors_(kDefaultPalette) {}

int XLSXPalette::createAddColorUnique(std::uint32_t rgb)
{
    rgb &= 0xFFFFFF;
    for (int i = 0; i < kCount; ++i) {
        if (colors_[i] == rgb) {
            used_[i] = true;
            return i + kFirstIndex;
        }
    }
    for (int i = 0; i < kCount; ++i) {
        if (!used_[i]) {
            colors_[i] = rgb;
            used_[i] = true;
            return i + kFirstIndex;
        }
    }
    auto channel = [](std::uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < kCount; ++i) {
        const long dr = channel(rgb, 16) - channel(colors_[i], 16);
        const long dg = channel(rgb, 8) - channel(colors_[i], 8);
        const long db = channel(rgb, 0) - channel(colors_[i], 0);
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    used_[best] = true;
    return best + kFirstIndex;
}

} // namespace karto
