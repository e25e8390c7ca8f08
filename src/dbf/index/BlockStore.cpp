#include "dbf/index/BlockStore.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "dbf/Messages.h"
#include "dbf/index/IndexFile.h"
#include "dbf/index/MdxLayout.h"
#include "dbf/io/PagedFile.h"

namespace karto::mdx {

namespace {

[[noreturn]] void invalid()
{
    throw IndexError(msg::kInvalidMdxFile);
}

} // namespace

BlockStore::BlockStore(PagedFile& file) : file_(file) {}

void BlockStore::configure(int pagesPerBlock, uint32_t firstBlockPage, uint32_t nextFreePage)
{
    pagesPerBlock_ = std::max(1, pagesPerBlock);
    blockSize_ = pagesPerBlock_ * kPageSize;
    firstBlockPage_ = firstBlockPage;
    nextFreePage_ = nextFreePage;
    nextFreeChanged_ = false;
    knownEnd_ = file_.active() ? file_.streamSize() : 0;
    blocks_.clear();
    journalSize_ = 0;
    inOperation_ = false;
}

void BlockStore::checkPage(uint32_t page)
{
    if (page < firstBlockPage_ || page % static_cast<uint32_t>(pagesPerBlock_) != 0)
        invalid();
    const int64_t end = static_cast<int64_t>(page) * kPageSize + blockSize_;
    if (end > knownEnd_) {
        // Another program may have made the file longer since.
        knownEnd_ = std::max(knownEnd_, file_.streamSize());
        if (end > knownEnd_)
            invalid();
    }
}

BlockStore::Block& BlockStore::load(uint32_t page, int owner)
{
    const auto it = blocks_.find(page);
    if (it != blocks_.end()) {
        Block& b = it->second;
        if (b.owner == kUnclaimed)
            b.owner = owner;
        return b;
    }
    checkPage(page);
    // The blocks around it come along in the same read (leaves of one tag
    // lie side by side as the tag was built); they stay unclaimed until a
    // tag reads them, and are forgotten whenever any tag moves.
    const int64_t at = static_cast<int64_t>(page) * kPageSize;
    const int64_t span = std::max<int64_t>(kReadAround - kReadAround % blockSize_, blockSize_);
    const int64_t firstByte = static_cast<int64_t>(firstBlockPage_) * kPageSize;
    int64_t from = std::max(at - at % span, firstByte);
    from += (blockSize_ - (from % blockSize_)) % blockSize_;
    if (from > at)
        from = at;
    const int64_t to = std::max(std::min(from + span, knownEnd_), at + blockSize_);
    readBuffer_.resize(static_cast<size_t>(to - from));
    const int64_t got = file_.readAt(from, readBuffer_.data(), to - from);
    if (got < at + blockSize_ - from)
        invalid();
    Block* wanted = nullptr;
    for (int64_t o = from; o + blockSize_ <= from + got; o += blockSize_) {
        const uint32_t p = static_cast<uint32_t>(o / kPageSize);
        if (p != page && blocks_.count(p))
            continue;
        Block& block = blocks_[p];
        block.bytes.assign(readBuffer_.begin() + (o - from), readBuffer_.begin() + (o - from + blockSize_));
        block.owner = p == page ? owner : kUnclaimed;
        if (p == page)
            wanted = &block;
    }
    return *wanted;
}

const uint8_t* BlockStore::read(uint32_t page, int owner)
{
    return load(page, owner).bytes.data();
}

uint8_t* BlockStore::modify(uint32_t page, int owner)
{
    Block& b = load(page, owner);
    if (inOperation_ && !journaled(page))
        keepBefore(page, &b);
    if (!b.changed)
        changedPages_.push_back(page);
    b.changed = true;
    return b.bytes.data();
}

uint32_t BlockStore::allocate(int owner)
{
    const uint32_t ppb = static_cast<uint32_t>(pagesPerBlock_);
    // Never below the end of the file: nothing there is overwritten.
    const int64_t endPages = (knownEnd_ + kPageSize - 1) / kPageSize;
    uint64_t page = std::max<uint64_t>({nextFreePage_, static_cast<uint64_t>(endPages), firstBlockPage_});
    page = (page + ppb - 1) / ppb * ppb;
    if (page + ppb > std::numeric_limits<uint32_t>::max() / 2)
        throw IndexError(msg::kInvalidMdxFile);
    const uint32_t p = static_cast<uint32_t>(page);
    nextFreePage_ = p + ppb;
    nextFreeChanged_ = true;
    knownEnd_ = std::max<int64_t>(knownEnd_, static_cast<int64_t>(nextFreePage_) * kPageSize);
    Block& block = blocks_[p];
    block.bytes.assign(static_cast<size_t>(blockSize_), 0);
    block.owner = owner;
    block.changed = true;
    if (inOperation_)
        keepBefore(p, nullptr);
    changedPages_.push_back(p);
    return p;
}

void BlockStore::setNextFreePage(uint32_t page)
{
    nextFreePage_ = page;
}

bool BlockStore::journaled(uint32_t page) const
{
    for (size_t i = 0; i < journalSize_; ++i)
        if (journal_[i].page == page)
            return true;
    return false;
}

void BlockStore::keepBefore(uint32_t page, const Block* block)
{
    // The entries and their buffers are used again by later operations.
    if (journalSize_ == journal_.size())
        journal_.emplace_back();
    Before& e = journal_[journalSize_++];
    e.page = page;
    e.allocated = block == nullptr;
    if (block) {
        e.block.bytes.assign(block->bytes.begin(), block->bytes.end());
        e.block.owner = block->owner;
        e.block.changed = block->changed;
    }
}

void BlockStore::begin()
{
    journalSize_ = 0;
    inOperation_ = true;
    savedNextFree_ = nextFreePage_;
    savedNextFreeChanged_ = nextFreeChanged_;
    savedKnownEnd_ = knownEnd_;
}

void BlockStore::commit()
{
    journalSize_ = 0;
    inOperation_ = false;
}

void BlockStore::rollback()
{
    for (size_t i = 0; i < journalSize_; ++i) {
        const Before& e = journal_[i];
        if (e.allocated) {
            blocks_.erase(e.page);
            continue;
        }
        Block& b = blocks_[e.page];
        b.bytes.assign(e.block.bytes.begin(), e.block.bytes.end());
        b.owner = e.block.owner;
        b.changed = e.block.changed;
    }
    journalSize_ = 0;
    inOperation_ = false;
    nextFreePage_ = savedNextFree_;
    nextFreeChanged_ = savedNextFreeChanged_;
    knownEnd_ = savedKnownEnd_;
}

bool BlockStore::hasChanges() const
{
    for (const uint32_t page : changedPages_) {
        const auto it = blocks_.find(page);
        if (it != blocks_.end() && it->second.changed)
            return true;
    }
    return false;
}

void BlockStore::writeChanged()
{
    std::vector<uint32_t>& pages = writePages_;
    pages.clear();
    for (const uint32_t page : changedPages_) {
        const auto it = blocks_.find(page);
        if (it != blocks_.end() && it->second.changed)
            pages.push_back(page);
    }
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    std::vector<uint8_t>& run = writeBuffer_;
    int64_t written = 0;
    size_t i = 0;
    while (i < pages.size()) {
        size_t j = i + 1;
        const uint32_t ppb = static_cast<uint32_t>(pagesPerBlock_);
        while (j < pages.size() && pages[j] == pages[j - 1] + ppb && j - i < 256)
            ++j;
        run.clear();
        for (size_t k = i; k < j; ++k) {
            const std::vector<uint8_t>& bytes = blocks_[pages[k]].bytes;
            run.insert(run.end(), bytes.begin(), bytes.end());
        }
        const int64_t at = static_cast<int64_t>(pages[i]) * kPageSize;
        file_.checkedWriteAt(at, run.data(), static_cast<int64_t>(run.size()));
        written = std::max<int64_t>(written, at + static_cast<int64_t>(run.size()));
        for (size_t k = i; k < j; ++k)
            blocks_[pages[k]].changed = false;
        i = j;
    }
    changedPages_.clear();
    // What this object wrote lies inside the file now; whatever another
    // program added beyond is looked up when a page there is first read.
    knownEnd_ = std::max(knownEnd_, written);
}

void BlockStore::trim()
{
    // Blocks read ahead that no tag wanted go first; the tree's upper
    // blocks stay unless that is not enough.
    for (auto it = blocks_.begin(); it != blocks_.end();) {
        if (it->second.owner == kUnclaimed && !it->second.changed)
            it = blocks_.erase(it);
        else
            ++it;
    }
    if (static_cast<int64_t>(blocks_.size()) * blockSize_ > kCacheBytes / 2)
        forgetUnchanged();
}

void BlockStore::forgetUnchanged()
{
    for (auto it = blocks_.begin(); it != blocks_.end();) {
        if (!it->second.changed)
            it = blocks_.erase(it);
        else
            ++it;
    }
}

void BlockStore::forgetOwner(int owner)
{
    for (auto it = blocks_.begin(); it != blocks_.end();) {
        const int o = it->second.owner;
        if ((o == owner || o == kUnclaimed) && !it->second.changed)
            it = blocks_.erase(it);
        else
            ++it;
    }
}

void BlockStore::forgetAll()
{
    blocks_.clear();
    changedPages_.clear();
    journalSize_ = 0;
    inOperation_ = false;
}

} // namespace karto::mdx
