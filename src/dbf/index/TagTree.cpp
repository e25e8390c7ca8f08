#include "dbf/index/TagTree.h"

#include <cstring>

#include "dbf/Messages.h"
#include "dbf/index/MdxLayout.h"
#include "dbf/io/ByteOrder.h"

namespace karto::mdx {

namespace {

[[noreturn]] void invalid()
{
    throw IndexError(msg::kInvalidMdxFile);
}

} // namespace

TagTree::TagTree(BlockStore& store, int owner, TagHeader& header, const KeyComparator& compare)
    : store_(store), owner_(owner), header_(header), compare_(compare),
      duplicates_(header.uniqueMode() == iuNormal), uniqueMode_(header.uniqueMode()),
      maxKeys_(static_cast<uint32_t>(header.maxKeys)), entrySize_(header.entrySize),
      keyLength_(header.keyLength)
{
    scratch_.resize(static_cast<size_t>(keyLength_));
}

void TagTree::restore(const Snapshot& s)
{
    header_.rootPage = s.root;
    header_.pageCount = s.pages;
    headerChanged_ = s.changed;
}

const uint8_t* TagTree::block(uint32_t page)
{
    const uint8_t* b = store_.read(page, owner_);
    if (loadLE32(b) > maxKeys_)
        invalid();
    return b;
}

uint8_t* TagTree::change(uint32_t page)
{
    block(page);
    return store_.modify(page, owner_);
}

uint32_t TagTree::allocate()
{
    const uint32_t page = store_.allocate(owner_);
    header_.pageCount += static_cast<uint32_t>(store_.pagesPerBlock());
    headerChanged_ = true;
    return page;
}

uint32_t TagTree::count(const uint8_t* b) const
{
    return loadLE32(b);
}

uint32_t TagTree::number(const uint8_t* b, uint32_t i) const
{
    return loadLE32(entry(b, i));
}

bool TagTree::isLeaf(const uint8_t* b) const
{
    const uint32_t k = count(b);
    return k >= maxKeys_ || number(b, k) == 0;
}

bool TagTree::isFull(const uint8_t* b) const
{
    return isLeaf(b) ? count(b) >= maxKeys_ : count(b) + 1 >= maxKeys_;
}

int TagTree::compareEntry(const uint8_t* a, uint32_t ra, const uint8_t* b, uint32_t rb) const
{
    const int r = compare_.compare(a, b);
    if (r != 0 || !duplicates_)
        return r;
    return ra < rb ? -1 : (ra > rb ? 1 : 0);
}

void TagTree::checkRoot()
{
    block(header_.rootPage);
}

uint32_t TagTree::greatestRecNo(uint32_t page)
{
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        const uint8_t* b = block(page);
        const uint32_t k = count(b);
        if (isLeaf(b))
            return k == 0 ? 0 : number(b, k - 1);
        page = number(b, k);
    }
    invalid();
}

uint32_t TagTree::chooseChild(const uint8_t* b, const uint8_t* key, uint32_t recNo)
{
    const uint32_t k = count(b);
    // First separator not below the key.
    uint32_t lo = 0;
    uint32_t hi = k;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (compare_.compare(keyOf(b, mid), key) >= 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    const uint32_t first = lo;
    if (!duplicates_ || first == k || compare_.compare(keyOf(b, first), key) != 0)
        return first;
    // Children first .. end - 1 end with the key itself.
    lo = first;
    hi = k;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (compare_.compare(keyOf(b, mid), key) > 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    const uint32_t end = lo;
    // The first of them whose greatest record number is not below recNo.
    // Their greatest record numbers ascend, so the last one is asked first:
    // a record appended after all the others goes past every one of them
    // with that single walk.
    if (greatestRecNo(number(b, end - 1)) < recNo)
        return end;
    lo = first;
    hi = end - 1;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (greatestRecNo(number(b, mid)) >= recNo)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

uint32_t TagTree::leafPosition(const uint8_t* b, const uint8_t* key, uint32_t recNo) const
{
    uint32_t lo = 0;
    uint32_t hi = count(b);
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (compareEntry(keyOf(b, mid), number(b, mid), key, recNo) >= 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

void TagTree::updateSeparators(const std::vector<Step>& path, size_t levels, const uint8_t* key)
{
    std::memcpy(scratch_.data(), key, static_cast<size_t>(keyLength_));
    for (size_t i = levels; i-- > 0;) {
        const Step& s = path[i];
        const uint8_t* b = block(s.page);
        if (static_cast<uint32_t>(s.child) < count(b)) {
            if (std::memcmp(keyOf(b, static_cast<uint32_t>(s.child)), scratch_.data(),
                            static_cast<size_t>(keyLength_)) == 0)
                return;   // already so: the block stays untouched
            uint8_t* w = change(s.page);
            std::memcpy(entry(w, static_cast<uint32_t>(s.child)) + 4, scratch_.data(),
                        static_cast<size_t>(keyLength_));
            return;
        }
    }
}

void TagTree::split(uint32_t parentPage, uint32_t child)
{
    const uint32_t childPage = number(block(parentPage), child);
    const uint32_t newPage = allocate();
    uint8_t* left = change(childPage);
    uint8_t* right = store_.modify(newPage, owner_);
    const uint32_t n = count(left);
    const size_t es = static_cast<size_t>(entrySize_);
    std::vector<uint8_t> separator(static_cast<size_t>(keyLength_));
    if (isLeaf(left)) {
        const uint32_t h = (n + 1) / 2;
        std::memcpy(entry(right, 0), entry(left, h), (n - h) * es);
        storeLE32(right, n - h);
        std::memset(entry(left, h), 0, (n - h) * es);
        storeLE32(left, h);
        std::memcpy(separator.data(), keyOf(left, h - 1), separator.size());
    } else {
        // Keys 0 .. h - 1 and children 0 .. h stay; key h goes up.
        const uint32_t h = n / 2;
        std::memcpy(separator.data(), keyOf(left, h), separator.size());
        std::memcpy(entry(right, 0), entry(left, h + 1), (n - h) * es);
        storeLE32(right, n - h - 1);
        std::memset(entry(right, n - h - 1) + 4, 0, es - 4);
        std::memset(entry(left, h + 1), 0, (n - h) * es);
        std::memset(entry(left, h) + 4, 0, es - 4);
        storeLE32(left, h);
    }
    uint8_t* p = change(parentPage);
    const uint32_t kp = count(p);
    // Entries child .. kp move up by one; the new entry (left half, its
    // greatest key) comes before the entry that now points to the right half.
    std::memmove(entry(p, child + 1), entry(p, child), (kp - child + 1) * es);
    storeLE32(entry(p, child), childPage);
    std::memcpy(entry(p, child) + 4, separator.data(), separator.size());
    storeLE32(entry(p, child + 1), newPage);
    storeLE32(p, kp + 1);
}

InsertOutcome TagTree::insert(const uint8_t* key, uint32_t recNo, uint32_t* existingRecNo)
{
    // A full root gets a new root above it first.
    if (isFull(block(header_.rootPage))) {
        const uint32_t oldRoot = header_.rootPage;
        const uint32_t root = allocate();
        uint8_t* r = store_.modify(root, owner_);
        storeLE32(r, 0);
        storeLE32(entry(r, 0), oldRoot);
        header_.rootPage = root;
        headerChanged_ = true;
    }
    path_.clear();
    uint32_t page = header_.rootPage;
    // Blocks stay in place during a change: each is looked up once on the way.
    const uint8_t* b = block(page);
    for (int steps = 0; steps < 4 * kMaxDepth; ++steps) {
        if (path_.size() >= static_cast<size_t>(kMaxDepth))
            invalid();
        const uint32_t k = count(b);
        if (isLeaf(b)) {
            const uint32_t pos = leafPosition(b, key, recNo);
            if (!duplicates_ && pos < k && compare_.equal(keyOf(b, pos), key)) {
                if (uniqueMode_ == iuDistinct) {
                    if (existingRecNo)
                        *existingRecNo = number(b, pos);
                    return InsertOutcome::Violation;
                }
                return InsertOutcome::Present;
            }
            if (k >= maxKeys_)
                invalid();   // a full leaf is never reached
            uint8_t* w = store_.modify(page, owner_);
            const size_t es = static_cast<size_t>(entrySize_);
            std::memmove(entry(w, pos + 1), entry(w, pos), (k - pos) * es);
            storeLE32(entry(w, pos), recNo);
            std::memcpy(entry(w, pos) + 4, key, static_cast<size_t>(keyLength_));
            std::memset(entry(w, pos) + 4 + keyLength_, 0, es - 4 - static_cast<size_t>(keyLength_));
            storeLE32(w, k + 1);
            if (k + 1 < maxKeys_)
                storeLE32(entry(w, k + 1), 0);
            if (pos == k)
                updateSeparators(path_, path_.size(), key);
            return InsertOutcome::Inserted;
        }
        const uint32_t c = chooseChild(b, key, recNo);
        const uint32_t childPage = number(b, c);
        const uint8_t* child = block(childPage);
        if (isFull(child)) {
            if (isFull(b))
                invalid();   // the way down keeps every parent below full
            split(page, c);
            b = block(page);
            continue;
        }
        path_.push_back({page, static_cast<int>(c)});
        page = childPage;
        b = child;
    }
    invalid();
}

bool TagTree::remove(const uint8_t* key, uint32_t recNo)
{
    path_.clear();
    uint32_t page = header_.rootPage;
    for (;;) {
        if (path_.size() >= static_cast<size_t>(kMaxDepth))
            invalid();
        const uint8_t* b = block(page);
        if (isLeaf(b))
            break;
        const uint32_t c = chooseChild(b, key, recNo);
        path_.push_back({page, static_cast<int>(c)});
        page = number(b, c);
    }
    const uint8_t* b = block(page);
    const uint32_t k = count(b);
    const uint32_t pos = leafPosition(b, key, recNo);
    if (pos >= k || !compare_.equal(keyOf(b, pos), key) || number(b, pos) != recNo)
        return false;
    uint8_t* w = change(page);
    const size_t es = static_cast<size_t>(entrySize_);
    std::memmove(entry(w, pos), entry(w, pos + 1), (k - pos - 1) * es);
    std::memset(entry(w, k - 1), 0, es);
    storeLE32(w, k - 1);
    if (k - 1 == 0) {
        // An empty leaf leaves its parent, unless every block above holds a
        // single child.
        bool alone = true;
        for (const Step& s : path_)
            if (count(block(s.page)) > 0)
                alone = false;
        if (!alone)
            removeChild(path_, path_.size() - 1);
    } else if (pos == k - 1) {
        updateSeparators(path_, path_.size(), keyOf(w, k - 2));
    }
    return true;
}

void TagTree::removeChild(const std::vector<Step>& path, size_t level)
{
    const Step& s = path[level];
    uint8_t* p = change(s.page);
    const uint32_t kp = count(p);
    const uint32_t c = static_cast<uint32_t>(s.child);
    const size_t es = static_cast<size_t>(entrySize_);
    if (kp == 0) {
        // Its only child gone: the block leaves its own parent.
        std::memset(entry(p, 0), 0, es);
        if (level > 0)
            removeChild(path, level - 1);
        return;
    }
    if (c < kp) {
        std::memmove(entry(p, c), entry(p, c + 1), (kp - c) * es);
        std::memset(entry(p, kp), 0, es);
        storeLE32(p, kp - 1);
        return;
    }
    // The last child gone: the one before it is the last now, and its key
    // the block's greatest.
    std::vector<uint8_t> greatest(keyOf(p, kp - 1), keyOf(p, kp - 1) + keyLength_);
    std::memset(entry(p, kp), 0, es);
    std::memset(entry(p, kp - 1) + 4, 0, es - 4);
    storeLE32(p, kp - 1);
    updateSeparators(path, level, greatest.data());
}

} // namespace karto::mdx
