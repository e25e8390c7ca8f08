#pragma once
#include <array>
#include <cstdint>

namespace karto {

// The colour palette of an XLS workbook: 56 entries for the palette indices
// 8 to 63, starting as the standard BIFF8 palette with every entry unused.
// Colours are 0x00RRGGBB.
class XLSXPalette {
public:
    static constexpr int kFirstIndex = 8;
    static constexpr int kCount = 56;

    XLSXPalette();

    // The palette index for a colour: an entry holding it exactly, else the
    // first unused entry (overwritten with it), else the nearest used entry
    // (Euclidean distance over red, green and blue; the first of equally near
    // ones). The entry returned is marked used.
    int createAddColorUnique(std::uint32_t rgb);

    std::uint32_t color(int index) const { return colors_.at(index - kFirstIndex); }
    bool used(int index) const { return used_.at(index - kFirstIndex); }

private:
    std::array<std::uint32_t, kCount> colors_;
    std::array<bool, kCount> used_{};
};

} // namespace karto
