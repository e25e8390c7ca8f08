#pragma once
// The blocks of an index file as the tags' trees see them: read once and
// kept, changed in memory, written back together; every change made during
// one operation can be taken back.
//
//  - read() checks that a page number names a block of the file: a multiple
//    of the pages per block, after the header area, and the whole block
//    inside the file (or allocated here). Anything else is IndexError
//    "Invalid MDX file.".
//  - modify() keeps the block's content as it was before the first change of
//    the operation; rollback() restores every block so kept, forgets blocks
//    allocated since begin() and returns the next free page.
//  - allocate() takes the next free page (never below the end of the file)
//    and advances it by the pages per block; freed blocks are never reused.
//  - Blocks are tagged with their owner (the tag number), so that a tag
//    another program changed can be forgotten alone. A block not cached is
//    read with the blocks around it (kReadAround bytes, aligned); those
//    belong to no tag until one reads them, and go whenever a tag is
//    forgotten.

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace karto {
class PagedFile;
}

namespace karto::mdx {

class BlockStore {
public:
    explicit BlockStore(PagedFile& file);

    void configure(int pagesPerBlock, uint32_t firstBlockPage, uint32_t nextFreePage);
    int blockSize() const { return blockSize_; }
    int pagesPerBlock() const { return pagesPerBlock_; }

    const uint8_t* read(uint32_t page, int owner);
    uint8_t* modify(uint32_t page, int owner);
    uint32_t allocate(int owner);

    uint32_t nextFreePage() const { return nextFreePage_; }
    // The next free page as the file says now (shared writers).
    void setNextFreePage(uint32_t page);
    bool nextFreeChanged() const { return nextFreeChanged_; }
    void clearNextFreeChanged() { nextFreeChanged_ = false; }

    void begin();
    void commit();
    void rollback();
    bool inOperation() const { return inOperation_; }

    // Writes every changed block (adjacent blocks in one write).
    void writeChanged();
    bool hasChanges() const;
    // Forgets unchanged blocks of an owner, every unchanged block, or every block.
    void forgetOwner(int owner);
    void forgetUnchanged();
    // Over budget: forgets the unchanged blocks read ahead and never read,
    // and every unchanged block when that leaves more than half the budget.
    void trim();
    void forgetAll();
    size_t cachedBlocks() const { return blocks_.size(); }
    // More cached than kCacheBytes: time to forget.
    bool overBudget() const { return static_cast<int64_t>(blocks_.size()) * blockSize_ > kCacheBytes; }

    // Bytes read at once when a block is not cached.
    static constexpr int64_t kReadAround = 16384;
    static constexpr int64_t kCacheBytes = 64 << 20;

private:
    static constexpr int kUnclaimed = -2;
    struct Block {
        std::vector<uint8_t> bytes;
        int owner = -1;
        bool changed = false;
    };
    Block& load(uint32_t page, int owner);
    void checkPage(uint32_t page);

    PagedFile& file_;
    int pagesPerBlock_ = 1;
    int blockSize_ = 512;
    uint32_t firstBlockPage_ = 1;
    uint32_t nextFreePage_ = 0;
    bool nextFreeChanged_ = false;
    int64_t knownEnd_ = 0;   // bytes: the file's size, or beyond it what was allocated
    // Blocks stay where they are in the map until they leave it.
    std::unordered_map<uint32_t, Block> blocks_;
    // Kept for the reads of blocks not cached and for writeChanged().
    std::vector<uint8_t> readBuffer_;
    std::vector<uint8_t> writeBuffer_;
    std::vector<uint32_t> writePages_;
    // Pages that may have changed since the last writeChanged() (a page
    // whose change was taken back stays listed, unchanged).
    std::vector<uint32_t> changedPages_;

    bool inOperation_ = false;
    // Before-images of the operation (the first journalSize_ entries);
    // allocated: the block is new, and goes again on a rollback.
    struct Before {
        uint32_t page = 0;
        bool allocated = false;
        Block block;
    };
    bool journaled(uint32_t page) const;
    void keepBefore(uint32_t page, const Block* block);
    std::vector<Before> journal_;
    size_t journalSize_ = 0;
    uint32_t savedNextFree_ = 0;
    bool savedNextFreeChanged_ = false;
    int64_t savedKnownEnd_ = 0;
};

} // namespace karto::mdx
