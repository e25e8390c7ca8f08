#pragma once
// The state behind IndexFile (shared by its open/upkeep and creation parts).

#include <memory>
#include <string>
#include <vector>

#include "dbf/expr/TableParser.h"
#include "dbf/index/BlockStore.h"
#include "dbf/index/IndexFile.h"
#include "dbf/index/KeyCompare.h"
#include "dbf/index/MdxFileHeader.h"
#include "dbf/index/TagHeader.h"
#include "dbf/index/TagTree.h"

namespace karto {

struct IndexFile::Impl {
    struct Tag {
        mdx::MdxTagEntry entry;
        mdx::TagHeader header;
        mdx::KeyComparator compare;
        std::unique_ptr<expr::IndexKeyParser> parser;
        std::unique_ptr<mdx::TagTree> tree;
        // Key types '+', '@', 'I', 'O' on one field: the field's bytes.
        bool fieldBytes = false;
        int fieldOffset = 0;
        std::vector<uint8_t> oldKey;
        std::vector<uint8_t> newKey;
        bool touched = false;
        // Shared modes, tag headers far apart: the first 24 bytes as read.
        uint8_t head[24] = {};
        mdx::TagTree::Snapshot before;
    };

    explicit Impl(PagedFile& file) : store(file) {}

    mdx::MdxFileHeader fileHeader;
    mdx::BlockStore store;
    std::vector<std::unique_ptr<Tag>> tags;
    const uint8_t* weights = nullptr;
    LocaleError localeError = leNone;
    std::string insertError;
    // Damage found while changing: every later change is refused.
    bool invalid = false;
    bool locked = false;
    // Shared modes: the file from byte 0 to the end of the last tag header's
    // first 24 bytes, read in one piece under the lock of every change (the
    // next free page and each tag's root, page count and change counter).
    // Tag headers lying further apart than kHeadsSpan are read one by one.
    std::vector<uint8_t> heads;
    bool headsInOnePiece = false;
    static constexpr int64_t kHeadsSpan = 65536;
    int lockWaitMillis = 5000;
};

namespace mdx {

// The key of a record for a tag (Tag::fieldBytes, or the key expression
// converted by key type). IndexError "Invalid index type: can only be
// string or float." for a result the key type cannot take.
void buildTagKey(IndexFile::Impl::Tag& tag, const uint8_t* record, int32_t recNo, uint8_t* out);

// The key type and length a tag gets from its parsed expression; false for
// a boolean result.
bool keyTypeOfExpression(const expr::IndexKeyParser& parser, char& keyType, int& keyLength);

} // namespace mdx

} // namespace karto
