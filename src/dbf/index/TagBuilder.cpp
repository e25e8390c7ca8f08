#include "dbf/index/TagBuilder.h"

#include <algorithm>
#include <cstring>

#include "dbf/io/ByteOrder.h"

namespace karto::mdx {

BuiltTree buildTree(const TreeShape& shape, const uint8_t* keys, const uint32_t* recNos, size_t count,
                    uint32_t firstPage,
                    const std::function<void(uint32_t page, const uint8_t* block)>& write)
{
    const size_t es = static_cast<size_t>(shape.entrySize);
    const size_t kl = static_cast<size_t>(shape.keyLength);
    const size_t maxKeys = static_cast<size_t>(shape.maxKeys);
    const uint32_t ppb = static_cast<uint32_t>(shape.pagesPerBlock);
    std::vector<uint8_t> block(static_cast<size_t>(shape.blockSize));
    uint32_t page = firstPage;

    // One level: each block's page and the position of its greatest key.
    struct Node {
        uint32_t page;
        size_t greatest;
    };
    std::vector<Node> level;

    // Leaves filled to seven eighths (the last one less), so that keys
    // added later find room before a leaf splits.
    const size_t perLeaf = std::max<size_t>(1, maxKeys - maxKeys / 8);
    size_t at = 0;
    do {
        const size_t n = std::min(perLeaf, count - at);
        std::fill(block.begin(), block.end(), 0);
        storeLE32(block.data(), static_cast<uint32_t>(n));
        for (size_t i = 0; i < n; ++i) {
            uint8_t* e = block.data() + 8 + i * es;
            storeLE32(e, recNos[at + i]);
            std::memcpy(e + 4, keys + (at + i) * kl, kl);
        }
        write(page, block.data());
        level.push_back({page, n > 0 ? at + n - 1 : 0});
        page += ppb;
        at += n;
    } while (at < count);

    // Inner levels: at most maxKeys children (maxKeys - 1 keys) a block.
    while (level.size() > 1) {
        const size_t children = level.size();
        const size_t groups = (children + maxKeys - 1) / maxKeys;
        const size_t base = children / groups;
        const size_t extra = children % groups;
        std::vector<Node> upper;
        size_t c = 0;
        for (size_t g = 0; g < groups; ++g) {
            const size_t size = base + (g < extra ? 1 : 0);
            std::fill(block.begin(), block.end(), 0);
            storeLE32(block.data(), static_cast<uint32_t>(size - 1));
            for (size_t i = 0; i < size; ++i) {
                uint8_t* e = block.data() + 8 + i * es;
                storeLE32(e, level[c + i].page);
                if (i + 1 < size)
                    std::memcpy(e + 4, keys + level[c + i].greatest * kl, kl);
            }
            write(page, block.data());
            upper.push_back({page, level[c + size - 1].greatest});
            page += ppb;
            c += size;
        }
        level = std::move(upper);
    }
    return {level.front().page, page - firstPage};
}

} // namespace karto::mdx
