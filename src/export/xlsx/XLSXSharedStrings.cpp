#include "export/xlsx/XLSXSharedStrings.h"

#include "export/xlsx/XmlWriter.h"

namespace karto {

namespace {

constexpr std::size_t kBlockSize = 1 << 20;

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
    auto found = index_.find(text);
    if (found != index_.end())
        return found->second;
    const std::string_view stored = store(text);
    const auto index = static_cast<uint32_t>(texts_.size());
    texts_.push_back(stored);
    index_.emplace(stored, index);
    return index;
}

void XLSXSharedStrings::appendElement(std::string& out, std::string_view text)
{
    out += needsPreserve(text) ? "<t xml:space=\"preserve\">" : "<t>";
    appendOoxmlEscaped(out, text);
    out += "</t>";
}

} // namespace karto
