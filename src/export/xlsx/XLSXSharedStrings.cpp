#include "export/xlsx/XLSXSharedStrings.h"

#include <cstring>

#include "export/xlsx/XmlWriter.h"

namespace karto {

namespace {

constexpr std::size_t kBlockSize = 1 << 20;
constexpr std::size_t kFirstSlots = 1024;

// 64-bit hash of a text, eight bytes at a time; every bit of the result
// depends on every byte.
uint64_t hashText(std::string_view text)
{
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    const char* p = text.data();
    std::size_t left = text.size();
    uint64_t h = (left + 1) * 0xBF58476D1CE4E5B9ull;
    while (left >= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        h = (h ^ word) * kMultiplier;
        h ^= h >> 29;
        p += 8;
        left -= 8;
    }
    if (left > 0) {
        uint64_t word = 0;
        std::memcpy(&word, p, left);
        h = (h ^ word) * kMultiplier;
    }
    h ^= h >> 32;
    h *= 0x94D049BB133111EBull;
    h ^= h >> 29;
    return h;
}

bool isSpaceLike(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool needsPreserve(std::string_view text)
{
    if (text.empty())
        return false;
    if (isSpaceLike(text.front()) || isSpaceLike(text.back()))
        return true;
    bool previous = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n' && i > 0 && text[i - 1] == '\r')
            continue;  // CR LF is one break
        const bool space = isSpaceLike(c);
        if (space && previous)
            return true;
        previous = space;
    }
    return false;
}

} // namespace

XLSXSharedStrings::XLSXSharedStrings() = default;

std::string_view XLSXSharedStrings::store(std::string_view text)
{
    if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < text.size()) {
        blocks_.emplace_back();
        blocks_.back().reserve(text.size() > kBlockSize ? text.size() : kBlockSize);
    }
    std::string& block = blocks_.back();
    const std::size_t at = block.size();
    block.append(text);
    return std::string_view(block.data() + at, text.size());
}

uint32_t XLSXSharedStrings::add(std::string_view text)
{
    if ((texts_.size() + 1) * 4 > slots_.size() * 3)
        grow();
    const uint64_t hash = hashText(text);
    const uint64_t tag = hash & 0xFFFFFFFF00000000ull;
    for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
        const uint64_t slot = slots_[i];
        if (slot == 0) {
            const auto index = static_cast<uint32_t>(texts_.size());
            texts_.push_back(store(text));
            slots_[i] = tag | (static_cast<uint64_t>(index) + 1);
            return index;
        }
        if ((slot & 0xFFFFFFFF00000000ull) == tag) {
            const auto index = static_cast<uint32_t>(slot) - 1;
            if (texts_[index] == text)
                return index;
        }
    }
}

void XLSXSharedStrings::grow()
{
    const std::size_t size = slots_.empty() ? kFirstSlots : slots_.size() * 2;
    slots_.assign(size, 0);
    mask_ = size - 1;
    for (std::size_t index = 0; index < texts_.size(); ++index) {
        const uint64_t hash = hashText(texts_[index]);
        std::size_t i = hash & mask_;
        while (slots_[i] != 0)
            i = (i + 1) & mask_;
        slots_[i] = (hash & 0xFFFFFFFF00000000ull) | (static_cast<uint64_t>(index) + 1);
    }
}

void XLSXSharedStrings::appendElement(std::string& out, std::string_view text)
{
    out += needsPreserve(text) ? "<t xml:space=\"preserve\">" : "<t>";
    appendOoxmlEscaped(out, text);
    out += "</t>";
}

} // namespace karto
