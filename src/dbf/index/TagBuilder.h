#pragma once
// A tag's tree built bottom-up from its keys in order: leaves seven eighths
// full (room for later keys before a split), then
// each level of inner blocks over the one below (children spread evenly, so
// that no inner block is left with a single child while others are full),
// up to a single root. Blocks are numbered from a first page on, in the
// order they are handed to the writer.

#include <cstdint>
#include <functional>
#include <vector>

namespace karto::mdx {

struct BuiltTree {
    uint32_t rootPage = 0;
    uint32_t pageCount = 0;
};

struct TreeShape {
    int keyLength = 0;
    int entrySize = 0;
    int maxKeys = 0;
    int blockSize = 0;
    int pagesPerBlock = 0;
};

// keys: count keys of shape.keyLength bytes in tree order; recNos: their
// record numbers. write receives each block with its page number, pages
// ascending without gaps from firstPage.
BuiltTree buildTree(const TreeShape& shape, const uint8_t* keys, const uint32_t* recNos, size_t count,
                    uint32_t firstPage,
                    const std::function<void(uint32_t page, const uint8_t* block)>& write);

} // namespace karto::mdx
