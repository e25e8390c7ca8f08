#pragma once
// The fixed geometry of a production index (.mdx) file.
//
//  - Page n starts at byte n x 512; every page number in the file counts
//    512-byte pages. A block (one B-tree node, or one tag header) spans
//    pagesPerBlock pages and starts on a page number that is a multiple of it.
//  - The file header fills the first bytes: 512 bytes of header fields, then
//    the tag table of 48 slots (slot 0 unused), rounded up to whole blocks.
//  - A block: bytes 0-3 the number of keys k, bytes 4-7 unused, then entries
//    of the tag's entry size from byte 8, each a 32-bit number (record number
//    in a leaf, child page in an inner block) and the key. An inner block
//    holds k keys and k + 1 children (entry k carries only the last child).

#include <cstdint>

namespace karto::mdx {

constexpr int kPageSize = 512;
constexpr int kTagSlots = 48;
constexpr int kMaxTags = 47;
constexpr int kMaxKeyLength = 100;
constexpr int kBlockHead = 8;
// Entry size of the tag table: dBase IV and dBase 7 layouts.
constexpr int kTagEntryIV = 32;
constexpr int kTagEntryVII = 43;
// Bytes of a tag header that carry fields (the rest of its block is zero).
constexpr int kTagHeaderBytes = 252;
constexpr int kExpressionOffset = 24;
constexpr int kExpressionBytes = 220;
// Blocks of files the engine creates.
constexpr int kCreatePagesPerBlock = 2;
constexpr int kCreateBlockSize = 1024;
// The deepest tree a walk follows; deeper means a cycle of pages.
constexpr int kMaxDepth = 48;

// Tag header flag bits (byte 8).
constexpr uint8_t kFlagDescending = 0x08;
constexpr uint8_t kFlagCharacter = 0x10;
constexpr uint8_t kFlagDistinct = 0x20;
constexpr uint8_t kFlagUnique = 0x40;

// Entry size for a key length: key length + 4, rounded up to a multiple of 4.
constexpr int entrySizeFor(int keyLength)
{
    return (keyLength + 4 + 3) / 4 * 4;
}

// Size of the file header area for a tag entry size and a block size.
constexpr int headerAreaSize(int tagEntrySize, int blockSize)
{
    const int raw = kPageSize + kTagSlots * tagEntrySize;
    return blockSize > 0 ? (raw + blockSize - 1) / blockSize * blockSize : raw;
}

} // namespace karto::mdx
