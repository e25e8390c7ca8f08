#pragma once
// The header block of one index tag.
//
//  0-3   root page              4-7   pages used by the tag's tree
//  8     flags: 0x08 descending, 0x10 character key, 0x20 distinct, 0x40 unique
//  9     key type letter        12-13 key length (1 to 100)
//  14-15 maximum keys in a block  16-17 1 for date keys
//  18-19 entry size             20    change counter (shared writers)
//  23    0, 1 unique, 0x21 distinct
//  24-243 key expression, NUL-terminated   244-251 0, 0, 1, 0, 0, 0, 0, 0

#include <cstdint>
#include <string>

#include "dbf/index/IndexFile.h"

namespace karto::mdx {

struct TagHeader {
    uint32_t rootPage = 0;
    uint32_t pageCount = 0;
    uint8_t flags = 0;
    char keyType = 'C';
    int keyLength = 0;
    int maxKeys = 0;
    int entrySize = 0;
    uint8_t counter = 0;
    uint8_t uniqueByte = 0;
    std::string expression;

    bool descending() const { return (flags & 0x08) != 0; }
    IndexUniqueMode uniqueMode() const;

    // Reads the fields of a tag header (252 bytes). IndexError "Invalid MDX
    // file." when the expression has no end within its 220 bytes, the key length is 0 or above 100, the entry size cannot
    // hold the key, or the maximum number of keys does not fit a block of
    // blockSize bytes after its 8-byte head (or is below 3).
    static TagHeader parse(const uint8_t* bytes, int blockSize);
    // Writes every field into a zeroed 252-byte area.
    void store(uint8_t* bytes) const;
    // Writes the fields that change with the tree: root, pages, counter.
    void storeTreeFields(uint8_t* bytes) const;
};

} // namespace karto::mdx
