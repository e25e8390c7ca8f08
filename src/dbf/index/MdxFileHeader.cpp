#include "dbf/index/MdxFileHeader.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "dbf/Messages.h"
#include "dbf/index/IndexFile.h"
#include "dbf/index/MdxLayout.h"
#include "dbf/io/ByteOrder.h"

namespace karto::mdx {

namespace {

[[noreturn]] void invalid()
{
    throw IndexError(msg::kInvalidMdxFile);
}

int nameBytes(int entrySize)
{
    return entrySize == kTagEntryVII ? 33 : 11;
}

} // namespace

void stampDate(uint8_t* at3)
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    at3[0] = static_cast<uint8_t>(local.tm_year % 256);
    at3[1] = static_cast<uint8_t>(local.tm_mon + 1);
    at3[2] = static_cast<uint8_t>(local.tm_mday);
}

int MdxFileHeader::areaSize() const
{
    return headerAreaSize(tagEntrySize, blockSize);
}

MdxFileHeader MdxFileHeader::parseBase(const uint8_t* h)
{
    MdxFileHeader f;
    f.version = h[0] == 3 ? 3 : 2;
    f.tagEntrySize = f.version == 3 ? kTagEntryVII : kTagEntryIV;
    f.pagesPerBlock = loadLE16(h + 20);
    f.blockSize = loadLE16(h + 22);
    f.tagCount = loadLE16(h + 28);
    f.languageId = h[31];
    f.nextFreePage = loadLE32(h + 32);
    if (f.pagesPerBlock == 0 || f.blockSize == 0 || f.blockSize != kPageSize * f.pagesPerBlock)
        invalid();
    if (f.tagCount >= kTagSlots || f.tagCount > kMaxTags)
        invalid();
    return f;
}

void MdxFileHeader::parseTags(const uint8_t* area, int64_t fileSize)
{
    tags.clear();
    const int nameLength = nameBytes(tagEntrySize);
    const bool vii = tagEntrySize == kTagEntryVII;
    const uint32_t firstPage = areaPages();
    for (int i = 0; i < tagCount; ++i) {
        const uint8_t* e = area + kPageSize + (i + 1) * tagEntrySize;
        MdxTagEntry t;
        t.headerPage = loadLE32(e);
        const char* name = reinterpret_cast<const char*>(e + 4);
        t.name.assign(name, strnlen(name, static_cast<size_t>(nameLength)));
        t.keyFormat = e[vii ? 37 : 15];
        t.keyType = static_cast<char>(e[vii ? 42 : 20]);
        if (t.headerPage < firstPage || t.headerPage % static_cast<uint32_t>(pagesPerBlock) != 0 ||
            static_cast<int64_t>(t.headerPage) * kPageSize + kTagHeaderBytes > fileSize)
            invalid();
        tags.push_back(std::move(t));
    }
}

std::vector<uint8_t> MdxFileHeader::build(const std::string& tableName) const
{
    std::vector<uint8_t> h(static_cast<size_t>(areaSize()), 0);
    h[0] = static_cast<uint8_t>(version);
    stampDate(h.data() + 1);
    std::memcpy(h.data() + 4, tableName.data(), std::min<size_t>(tableName.size(), 8));
    storeLE16(h.data() + 20, static_cast<uint16_t>(pagesPerBlock));
    storeLE16(h.data() + 22, static_cast<uint16_t>(blockSize));
    h[24] = 1;
    h[25] = kTagSlots;
    h[26] = static_cast<uint8_t>(tagEntrySize);
    storeLE16(h.data() + 28, static_cast<uint16_t>(tags.size()));
    h[31] = languageId;
    storeLE32(h.data() + 32, nextFreePage);
    stampDate(h.data() + 44);
    // Slot 0 carries no tag.
    h[kPageSize + 17] = 1;
    const bool vii = tagEntrySize == kTagEntryVII;
    const size_t nameLength = static_cast<size_t>(nameBytes(tagEntrySize)) - 1;
    for (size_t i = 0; i < tags.size(); ++i) {
        uint8_t* e = h.data() + kPageSize + (i + 1) * static_cast<size_t>(tagEntrySize);
        const MdxTagEntry& t = tags[i];
        storeLE32(e, t.headerPage);
        std::memcpy(e + 4, t.name.data(), std::min(t.name.size(), nameLength));
        e[vii ? 37 : 15] = t.keyFormat;
        e[vii ? 38 : 16] = 0;
        e[vii ? 39 : 17] = i + 1 < tags.size() ? static_cast<uint8_t>(i + 2) : 0;
        e[vii ? 40 : 18] = static_cast<uint8_t>(i);
        e[vii ? 41 : 19] = 2;
        e[vii ? 42 : 20] = static_cast<uint8_t>(t.keyType);
    }
    return h;
}

} // namespace karto::mdx
