#pragma once
// The B-tree of one tag: inserting and removing (key, record number)
// entries, with the blocks of a BlockStore.
//
//  - Each key of an inner block is the greatest key of the child to its
//    left; the last child has none (its greatest key is the one above).
//  - Equal keys in a tag that allows duplicates are ordered by record
//    number. The descent takes the first child whose separator is not below
//    the key; among children whose separator equals the key it goes on to
//    the first one whose greatest record number is not below the record's
//    (the same place walking right over the equal keys would reach).
//    Unique and distinct tags look for the first key not below the key.
//  - insert() splits every full block met on the way down (a leaf is full
//    at the maximum number of keys, an inner block at one less); a full root
//    first gets a new root above it. The separator a split pushes up is the
//    greatest key of the left half.
//  - remove() takes the entry out, updates the separators above when it was
//    a block's greatest key, and takes a block left empty out of its parent
//    (unless every block above holds a single child). Emptied blocks are
//    not reused.
//  - Every walk is bounded (mdx::kMaxDepth); a deeper tree or a block that
//    states more keys than the tag allows is IndexError "Invalid MDX file.".

#include <cstdint>
#include <vector>

#include "dbf/index/BlockStore.h"
#include "dbf/index/IndexFile.h"
#include "dbf/index/KeyCompare.h"
#include "dbf/index/TagHeader.h"

namespace karto::mdx {

enum class InsertOutcome {
    Inserted,
    Present,     // a unique tag already holds the key: nothing done
    Violation,   // a distinct tag already holds the key: refused
};

class TagTree {
public:
    TagTree(BlockStore& store, int owner, TagHeader& header, const KeyComparator& compare);

    // existingRecNo: for a refusal, the record number of the key present.
    InsertOutcome insert(const uint8_t* key, uint32_t recNo, uint32_t* existingRecNo = nullptr);
    // False when the entry is not in the tree.
    bool remove(const uint8_t* key, uint32_t recNo);

    // Whether the tag header's root or page count changed since the last
    // clearHeaderChanged().
    bool headerChanged() const { return headerChanged_; }
    void clearHeaderChanged() { headerChanged_ = false; }

    // The tree's state before an operation, and back to it.
    struct Snapshot {
        uint32_t root = 0;
        uint32_t pages = 0;
        bool changed = false;
    };
    Snapshot snapshot() const { return {header_.rootPage, header_.pageCount, headerChanged_}; }
    void restore(const Snapshot& s);

    // Checks the root block (the open does this once).
    void checkRoot();

private:
    struct Step {
        uint32_t page;
        int child;
    };

    const uint8_t* block(uint32_t page);
    uint8_t* change(uint32_t page);
    uint32_t allocate();
    uint32_t count(const uint8_t* b) const;
    uint8_t* entry(uint8_t* b, uint32_t i) const { return b + 8 + static_cast<size_t>(i) * entrySize_; }
    const uint8_t* entry(const uint8_t* b, uint32_t i) const
    {
        return b + 8 + static_cast<size_t>(i) * entrySize_;
    }
    uint32_t number(const uint8_t* b, uint32_t i) const;
    const uint8_t* keyOf(const uint8_t* b, uint32_t i) const { return entry(b, i) + 4; }
    bool isLeaf(const uint8_t* b) const;
    bool isFull(const uint8_t* b) const;
    // Entry (a, ra) against (b, rb): duplicates ordered by record number.
    int compareEntry(const uint8_t* a, uint32_t ra, const uint8_t* b, uint32_t rb) const;

    uint32_t chooseChild(const uint8_t* b, const uint8_t* key, uint32_t recNo);
    uint32_t leafPosition(const uint8_t* b, const uint8_t* key, uint32_t recNo) const;
    uint32_t greatestRecNo(uint32_t page);
    void split(uint32_t parentPage, uint32_t child);
    void updateSeparators(const std::vector<Step>& path, size_t levels, const uint8_t* key);
    void removeChild(const std::vector<Step>& path, size_t level);

    BlockStore& store_;
    int owner_;
    TagHeader& header_;
    const KeyComparator& compare_;
    bool duplicates_;
    IndexUniqueMode uniqueMode_;
    uint32_t maxKeys_;
    int entrySize_;
    int keyLength_;
    bool headerChanged_ = false;
    std::vector<Step> path_;
    std::vector<uint8_t> scratch_;
};

} // namespace karto::mdx
