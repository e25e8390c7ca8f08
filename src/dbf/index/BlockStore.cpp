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
    journal_.clear();
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
    if (it != blocks_.end())
        return *it->second;
    checkPage(page);
    auto block = std::make_unique<Block>();
    block->bytes.assign(static_cast<size_t>(blockSize_), 0);
    block->owner = owner;
    if (file_.readAt(static_cast<int64_t>(page) * kPageSize, block->bytes.data(), blockSize_) != blockSize_)
        invalid();
    Block& b = *block;
    blocks_.emplace(page, std::move(block));
    return b;
}

const uint8_t* BlockStore::read(uint32_t page, int owner)
{
    return load(page, owner).bytes.data();
}

uint8_t* BlockStore::modify(uint32_t page, int owner)
{
    Block& b = load(page, owner);
    if (inOperation_ && !journal_.count(page))
        journal_.emplace(page, b);
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
    auto block = std::make_unique<Block>();
    block->bytes.assign(static_cast<size_t>(blockSize_), 0);
    block->owner = owner;
    block->changed = true;
    if (inOperation_)
        journal_.emplace(p, std::nullopt);
    blocks_[p] = std::move(block);
    changedPages_.push_back(p);
    return p;
}

void BlockStore::setNextFreePage(uint32_t page)
{
    nextFreePage_ = page;
}

void BlockStore::begin()
{
    journal_.clear();
    inOperation_ = true;
    savedNextFree_ = nextFreePage_;
    savedNextFreeChanged_ = nextFreeChanged_;
    savedKnownEnd_ = knownEnd_;
}

void BlockStore::commit()
{
    journal_.clear();
    inOperation_ = false;
}

void BlockStore::rollback()
{
    for (auto& [page, before] : journal_) {
        if (before)
            *blocks_[page] = std::move(*before);
        else
            blocks_.erase(page);
    }
    journal_.clear();
    inOperation_ = false;
    nextFreePage_ = savedNextFree_;
    nextFreeChanged_ = savedNextFreeChanged_;
    knownEnd_ = savedKnownEnd_;
}

bool BlockStore::hasChanges() const
{
    for (const uint32_t page : changedPages_) {
        const auto it = blocks_.find(page);
        if (it != blocks_.end() && it->second->changed)
            return true;
    }
    return false;
}

void BlockStore::writeChanged()
{
    std::vector<uint32_t> pages;
    for (const uint32_t page : changedPages_) {
        const auto it = blocks_.find(page);
        if (it != blocks_.end() && it->second->changed)
            pages.push_back(page);
    }
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    std::vector<uint8_t> run;
    size_t i = 0;
    while (i < pages.size()) {
        size_t j = i + 1;
        const uint32_t ppb = static_cast<uint32_t>(pagesPerBlock_);
        while (j < pages.size() && pages[j] == pages[j - 1] + ppb && j - i < 256)
            ++j;
        run.clear();
        for (size_t k = i; k < j; ++k) {
            const std::vector<uint8_t>& bytes = blocks_[pages[k]]->bytes;
            run.insert(run.end(), bytes.begin(), bytes.end());
        }
        file_.checkedWriteAt(static_cast<int64_t>(pages[i]) * kPageSize, run.data(),
                             static_cast<int64_t>(run.size()));
        for (size_t k = i; k < j; ++k)
            blocks_[pages[k]]->changed = false;
        i = j;
    }
    changedPages_.clear();
    knownEnd_ = std::max(knownEnd_, file_.streamSize());
}

void BlockStore::forgetUnchanged()
{
    for (auto it = blocks_.begin(); it != blocks_.end();) {
        if (!it->second->changed)
            it = blocks_.erase(it);
        else
            ++it;
    }
}

void BlockStore::forgetOwner(int owner)
{
    for (auto it = blocks_.begin(); it != blocks_.end();) {
        if (it->second->owner == owner && !it->second->changed)
            it = blocks_.erase(it);
        else
            ++it;
    }
}

void BlockStore::forgetAll()
{
    blocks_.clear();
    changedPages_.clear();
    journal_.clear();
    inOperation_ = false;
}

} // namespace karto::mdx
