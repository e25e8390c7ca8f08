#pragma once
// The production index of a table: the .mdx file beside it, holding up to 47
// tags, each a B-tree of keys computed from every record by a key
// expression. The engine never orders or searches by it; it keeps every tag
// right whenever a record is appended or changed, so that other programs
// that find records through the tags keep working.
//
// How to use it (the table file does this; see TableFile.h)
// -----------------------------------------------------------
//     IndexFile index(table);                // table open, fields known
//     index.setFileName(table.mdxFileName());
//     index.setMode(table.mode());
//     index.open();                          // IndexError / ParserError
//     if (!index.insert(recNo, record))      // every tag, or none
//         index.raiseInsertError();          // the key violation
//     if (index.wouldRefuse(recNo, record))  // asked ahead, nothing changed
//         index.raiseInsertError();
//     index.update(recNo, oldRecord, newRecord);
//     index.remove(recNo, record);
//     index.flush(); index.close();
//
//  - Pages are 512 bytes and page n starts at byte n x 512; a block (B-tree
//    node) spans pagesPerBlock pages.
//  - insert(), update() and remove() change every tag or none: the keys of
//    the record are built for every tag first; a refusal (a key already
//    present in a distinct tag) or any exception while the tags are changed
//    undoes what was done on the earlier tags before it returns or is
//    passed on.
//  - In a shared mode page 0 is the lock for all tag changes; the wait for
//    it is bounded; each tag's change counter tells when another program
//    changed it, and the tag is read again.
//  - A malformed file raises IndexError "Invalid MDX file." at open, or at
//    the next change when the damage is found while walking (the walk is
//    bounded, so a cycle of pages ends too).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf/Error.h"
#include "dbf/io/PagedFile.h"

namespace karto {

class TableFile;

// Errors of the index file: "Invalid MDX file.", key violations, bad key types.
class IndexError : public TableError {
public:
    using TableError::TableError;
};

// A key already present in a distinct tag (the full catalogue text).
class KeyViolationError : public IndexError {
public:
    using IndexError::IndexError;
};

enum IndexUniqueMode { iuNormal, iuUnique, iuDistinct };

// Why the index cannot be used with the table's collation.
enum LocaleError { leNone, leTableIndexMismatch, leUnknown, leNotAvailable };

// One tag as the file describes it.
struct IndexTagInfo {
    std::string name;         // upper case
    std::string expression;   // the key expression text
    char keyType = 'C';       // 'C', 'N', 'D', or '+', '@', 'I', 'O'
    int keyLength = 0;
    bool descending = false;
    IndexUniqueMode uniqueMode = iuNormal;
};

// The key a new record would get in one distinct tag: the tag's name, the
// key in a form whose bytes are equal exactly when the tag counts two keys
// equal (collation and number forms applied), and the key's text as a key
// violation names it.
struct DistinctTagKey {
    std::string tag;
    std::string key;
    std::string text;
};

// A tag to create: name, key expression and options.
struct IndexTagDefinition {
    std::string name;
    std::string expression;
    bool descending = false;
    IndexUniqueMode uniqueMode = iuNormal;
};

class IndexFile : public PagedFile {
public:
    explicit IndexFile(TableFile& table);
    ~IndexFile() override;

    // Opens the file in mode() and reads its header, every tag header and
    // key expression. IndexError "Invalid MDX file." or the key parser's
    // error; the file is closed again then. A collation the table and the
    // index disagree on is not an error here: localeError() tells, and the
    // index must then not be changed.
    void open();
    // Writes what is pending and closes the file.
    void close();
    void flush() override;

    LocaleError localeError() const;
    // Open, with the table's collation, and no damage found while changing.
    bool usable() const;
    std::vector<IndexTagInfo> tags() const;
    // How long a change waits for another program's lock on page 0
    // (shared modes) before it fails with "Error while writing occurred.
    // (Disk full?)"; 5 seconds unless set.
    void setLockWaitMillis(int millis);

    // Adds the keys of a record to every tag. False when a distinct tag
    // refuses: nothing of the record remains in any tag and the violation
    // waits in raiseInsertError(). Exceptions leave no trace either.
    bool insert(int32_t recNo, const uint8_t* record);
    // Removes the keys of a record from every tag.
    void remove(int32_t recNo, const uint8_t* record);
    // Replaces the keys of a record where they changed. False on a refusal
    // (every tag back as before; the violation in raiseInsertError()).
    bool update(int32_t recNo, const uint8_t* oldRecord, const uint8_t* newRecord);
    // Raises the pending key violation (KeyViolationError) and clears it.
    void raiseInsertError();

    // Asking ahead, for a record not appended yet (numbered recNo then):
    // whether insert() would be refused by a distinct tag. True: the
    // violation waits in raiseInsertError(). The keys are inserted as
    // insert() does, under the same page 0 lock in shared modes (other
    // programs' changes read first), and always taken back: nothing changes
    // on disk, and the tags in memory stay as they were. A distinct tag
    // whose key follows an autoincrement field is left out (the field gets
    // its value only when the record is appended). Exceptions as insert().
    bool wouldRefuse(int32_t recNo, const uint8_t* record);
    // Whether a tag is distinct.
    bool hasDistinctTags() const;
    // The keys of such a record in the distinct tags (the same ones
    // wouldRefuse() looks at), so that records not appended yet can be
    // compared with each other.
    std::vector<DistinctTagKey> distinctKeys(int32_t recNo, const uint8_t* record);

    // Creates a new, empty production index file for the table at fileName()
    // (which must not exist) with the given tags, then fills every tag from
    // the table's records (deleted ones included). Needs no sharing: the
    // caller holds the table exclusively.
    void create(const std::vector<IndexTagDefinition>& tags);

    // The tag definitions of an existing production index, read without
    // opening it for upkeep: its file header, tag table and tag headers
    // (the trees are not read). IndexError "Invalid MDX file." when those
    // cannot be read.
    static std::vector<IndexTagDefinition> readTagDefinitions(const std::string& fileName);

    struct Impl;

private:
    void beginChange();
    void refreshShared();
    void commitChange();
    void rollbackChange();
    template <typename Change>
    bool runChange(Change&& change);
    void buildKeys(int32_t recNo, const uint8_t* oldRecord, const uint8_t* newRecord);
    // The distinct tags that can be asked ahead about the record, each with
    // its new key built.
    std::vector<size_t> distinctTagsAhead(int32_t recNo, const uint8_t* record);
    // After the entry of a unique tag's key left with its record: the first
    // other record with that key gets the entry (deleted records count).
    void refillUnique(size_t tag, int32_t leaving);

    std::unique_ptr<Impl> impl_;
    TableFile& table_;
};

} // namespace karto
