#include "dbf/index/TagHeader.h"

#include <algorithm>
#include <cstring>

#include "dbf/Messages.h"
#include "dbf/index/MdxLayout.h"
#include "dbf/io/ByteOrder.h"

namespace karto::mdx {

IndexUniqueMode TagHeader::uniqueMode() const
{
    if ((flags & kFlagDistinct) != 0 || uniqueByte == 0x21)
        return iuDistinct;
    if ((flags & kFlagUnique) != 0 || uniqueByte == 1)
        return iuUnique;
    return iuNormal;
}

TagHeader TagHeader::parse(const uint8_t* b, int blockSize)
{
    TagHeader t;
    t.rootPage = loadLE32(b);
    t.pageCount = loadLE32(b + 4);
    t.flags = b[8];
    t.keyType = static_cast<char>(b[9]);
    t.keyLength = loadLE16(b + 12);
    t.maxKeys = loadLE16(b + 14);
    t.entrySize = loadLE16(b + 18);
    t.counter = b[20];
    t.uniqueByte = b[23];
    const char* text = reinterpret_cast<const char*>(b + kExpressionOffset);
    t.expression.assign(text, strnlen(text, kExpressionBytes));
    if (t.expression.size() >= static_cast<size_t>(kExpressionBytes) || t.keyLength < 1 || t.keyLength > kMaxKeyLength || t.entrySize < t.keyLength + 4 ||
        t.maxKeys < 3 || kBlockHead + static_cast<int64_t>(t.maxKeys) * t.entrySize > blockSize)
        throw IndexError(msg::kInvalidMdxFile);
    return t;
}

void TagHeader::store(uint8_t* b) const
{
    storeTreeFields(b);
    b[8] = flags;
    b[9] = static_cast<uint8_t>(keyType);
    storeLE16(b + 12, static_cast<uint16_t>(keyLength));
    storeLE16(b + 14, static_cast<uint16_t>(maxKeys));
    storeLE16(b + 16, keyType == 'D' ? 1 : 0);
    storeLE16(b + 18, static_cast<uint16_t>(entrySize));
    b[23] = uniqueByte;
    std::memcpy(b + kExpressionOffset, expression.data(),
                std::min<size_t>(expression.size(), kExpressionBytes - 1));
    b[246] = 1;
}

void TagHeader::storeTreeFields(uint8_t* b) const
{
    storeLE32(b, rootPage);
    storeLE32(b + 4, pageCount);
    b[20] = counter;
}

} // namespace karto::mdx
