#pragma once
// The file header of a production index and its tag table (MdxLayout.h).
//
//  byte 0      version: 2 dBase IV tags, 3 dBase 7 tags
//  1-3         creation date (year - 1900, month, day)
//  4-19        table name without extension, at most 8 characters
//  20-21       pages per block       22-23 block size (512 x pages per block)
//  24          production flag (1)   25 tag slots (48)   26 tag entry size
//  28-29       tags in use (at most 47)   31 language driver id
//  32-35       next free page        44-46 date of the last change
//  512 ...     tag table: slot 0 unused, tag i in slot i + 1
//
// A tag table entry: header page, name (upper case, NUL-terminated within its
// 11 or 33 bytes), key format, forward and backward tag numbers, reserved
// byte and key type letter.

#include <cstdint>
#include <string>
#include <vector>

namespace karto::mdx {

struct MdxTagEntry {
    uint32_t headerPage = 0;
    std::string name;
    uint8_t keyFormat = 0;
    char keyType = 'C';
};

struct MdxFileHeader {
    int version = 2;
    int pagesPerBlock = 0;
    int blockSize = 0;
    int tagEntrySize = 0;
    int tagCount = 0;
    uint8_t languageId = 0;
    uint32_t nextFreePage = 0;
    std::vector<MdxTagEntry> tags;

    bool baseVII() const { return version == 3; }
    // Size of the header area in bytes (whole blocks) and in pages.
    int areaSize() const;
    uint32_t areaPages() const { return static_cast<uint32_t>(areaSize() / 512); }

    // The fields of the first 512 bytes: version, geometry and tag count.
    // IndexError "Invalid MDX file." when the block size is not 512 x pages
    // per block (or either is 0), or 48 tags or more are in use.
    static MdxFileHeader parseBase(const uint8_t* first512);
    // The tag table from the whole header area (areaSize() bytes): every tag
    // in use must name a header page that is block-aligned, after the header
    // area and whose header lies inside a file of fileSize bytes.
    void parseTags(const uint8_t* area, int64_t fileSize);

    // The header area as a new file carries it: creation and change date
    // today, the table name, every tag's entry, slot 0 marked.
    std::vector<uint8_t> build(const std::string& tableName) const;
};

// Today's date as the three header bytes (year - 1900, month, day).
void stampDate(uint8_t* at3);

} // namespace karto::mdx
