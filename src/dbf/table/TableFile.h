#pragma once
// The table file: a paged file whose header is the DBF header with its field
// descriptors and whose pages are the records.
//
// How to use it
// -------------
//     TableFile table;
//     table.setFileName(path);
//     table.setMode(pfReadOnly);          // or pfReadWriteOpen, pfExclusiveOpen ...
//     table.open();                       // header, descriptors, reconciliation
//     table.updateLock();                 // read-ahead on when nobody else writes
//     const FieldDefs& defs = table.fieldDefs();
//     for (int32_t n = 1, count = table.recordCount(); n <= count; ++n) {
//         const uint8_t* rec = table.recordPtr(n);   // nullptr: not in the file
//         if (!rec)
//             break;
//         if (TableFile::isDeletedRecord(rec))
//             continue;
//         for (int i = 0; i < defs.count(); ++i) {
//             const FieldDef& f = defs.item(i);
//             // the field's bytes: rec + f.offset(), f.size() of them
//         }
//     }
//     table.close();
//
//  - Records are numbered from 1 in physical order (page 0 is the header).
//    recordPtr(n) returns a pointer to the whole raw record (deletion flag
//    first), valid until the next read or write through this object. With
//    read-ahead on it points into the 64 KiB window, so a forward or backward
//    walk costs one system call per window and no copy; a jump to any record
//    number reads just that record. readRecord(n, buffer) copies instead.
//  - Read-ahead: updateLock() turns it on only when no other process can
//    write (exclusive open, or this object holds the whole-file lock). A
//    read-only walk that accepts not seeing later changes by others (an
//    export, the column sum) may switch it on itself with setBufferAhead(true)
//    for the walk's duration.
//  - recordCount() comes from the file size (a shared file asks the system
//    each time); opening never scans the records, so it costs the same for
//    ten records and for ten million.
//  - Every definition in fieldDefs() satisfies 1 <= offset() and
//    offset() + size() <= recordSize(); size() is the stored width of the
//    field. Values are decoded from the record bytes elsewhere (FieldDecode.h;
//    text forms FieldText.h).
//  - Failures: TableError "Invalid DBF file." (and the other catalogue texts,
//    Messages.h) for a malformed table; PagedFileError / FileOpenError for the
//    file itself; AbortError for the silent abort (a header that names no
//    header or record size, or a production index the caller refused to do
//    without): the caller stops and shows nothing. After any of them the file
//    is closed again.
//  - Opening a table in a writing mode corrects the header's record count and
//    its memo bit, clears a dangling production-index flag and stamps today's
//    date; a read-only open changes nothing on disk.
//  - The memo file is found here (memoFileName(), memoFilePresent(), in any
//    letter case) and opened by its reader (MemoReader.h) with the table's
//    mode and version; the production index file is found here too
//    (mdxFileName()) and will be opened beside it by the index engine.
//  - The language byte and the dBase 7 driver name are kept as read; the code
//    page comes from the language driver catalogue (LanguageDriver.h).
//  - Production index: when the header names one and its file is there,
//    it is opened with the table in the table's mode (IndexFile.h) and kept
//    up to date by every append and edit. An index that cannot be used
//    (damaged, a key expression that does not parse, another collation)
//    does not stop the open: indexProblem() tells why, nothing is written at
//    the open, and every write is refused until the index is rebuilt.
//  - Writing (TableFileWriting.cpp): a writable open is refused with
//    "Cannot modify a read-only dataset" before anything is written when the
//    table has a field this engine reads but cannot encode (Visual FoxPro's
//    varchar, varbinary and blob fields among them), or a FoxPro
//    structural index. Records are
//    changed under the locks of a shared open: lock 0 guards the header,
//    lock -1 appending, lock n record n; record and header locks do not
//    wait (unless lockRetryMillis() says so), the append lock does. Every
//    write is checked; a failed one raises PagedFileError "Error while
//    writing occurred. (Disk full?)", undoes what the operation had changed
//    and clears the write error state. Every lock an operation takes is
//    released on every way out of it, except the record lock lockRecord()
//    hands to the caller.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbf/field/FieldDef.h"
#include "dbf/field/FieldType.h"
#include "dbf/io/PagedFile.h"

namespace karto {

class IndexFile;
struct DistinctTagKey;

enum DateTimeHandling { dtDateTime, dtBDETimeStamp };

// Table level (3, 4, 5, 7, 25) of a format version and back; 0 / xUnknown
// for anything else.
int tableLevelOf(XBaseVersion version);
XBaseVersion versionOfTableLevel(int level);

class TableFile : public PagedFile {
public:
    // Asked when the header names a production index whose file is missing;
    // deleteLink starts true (clear the header's flag), false abandons the open.
    using IndexMissingHandler = std::function<void(bool& deleteLink)>;

    TableFile();
    ~TableFile() override;

    // Opens or creates the file in mode() and reads its structure. When the
    // mode created the file, the structure is left to the creator.
    void open();
    // Brings the record count up to date (writers) and closes the file.
    void close();

    // --- Structure ------------------------------------------------------------
    XBaseVersion dbfVersion() const { return dbfVersion_; }
    int tableLevel() const { return tableLevelOf(dbfVersion_); }
    FieldDefs& fieldDefs() { return fieldDefs_; }
    const FieldDefs& fieldDefs() const { return fieldDefs_; }
    // The definition whose name equals name with a-z upper-cased, or nullptr.
    FieldDef* getFieldInfo(const std::string& name);
    const FieldDef* getFieldInfo(const std::string& name) const;
    // The "_DBASELOCK" and "_NULLFLAGS" fields, when the table has them.
    const FieldDef* lockField() const { return lockField_; }
    const FieldDef* nullField() const { return nullField_; }
    // User-name characters that fit in the lock field.
    int lockUserLen() const { return lockUserLen_; }
    bool autoIncPresent() const { return autoIncPresent_; }
    // The record count the header stated when the table was opened, before
    // recordCount() took it from the file's size.
    uint32_t headerRecordCount() const { return headerRecordCount_; }

    // Whether a raw record is marked deleted.
    static bool isDeletedRecord(const uint8_t* record) { return record[0] == '*'; }

    // --- Language ---------------------------------------------------------------
    // Header byte 29.
    uint8_t languageId() const;
    // dBase 7: the 32 bytes of the language driver name (zeros included); empty before.
    std::string languageStr() const;
    // dBase 7: the language driver name up to its first zero byte; empty before.
    const std::string& languageDriverName() const { return languageDriverName_; }
    // Code page named by the file (language driver catalogue); code page of
    // the engine's own translation (the file's, else the engine's default for
    // opening; the program sets it to 0 after every open); language driver id
    // (dBase 7: the id the catalogue finds for the driver name).
    int fileCodePage() const { return fileCodePage_; }
    int useCodePage() const { return useCodePage_; }
    void setUseCodePage(int codePage) { useCodePage_ = codePage; }
    uint8_t fileLangId() const { return fileLangId_; }

    // --- Memo file and production index (see open()) -----------------------------
    // Whether a field keeps its value in the memo file ("B", "G", "M").
    bool hasMemoFields() const { return hasMemoFields_; }
    // The memo file the table names (".fpt" for FoxPro, else ".dbt"), as found
    // on disk in any letter case; memoFilePresent() tells whether it exists.
    const std::string& memoFileName() const { return memoFileName_; }
    bool memoFilePresent() const { return memoFilePresent_; }
    // The production index file named by the header's flag, when it exists.
    const std::string& mdxFileName() const { return mdxFileName_; }
    // The production index, opened with the table (nullptr when the table
    // names none, or when it could not be opened: see indexProblem()).
    IndexFile* indexFile() const { return index_.get(); }
    // Why the production index the table names cannot be kept up to date
    // (the engine's English reason: "Invalid MDX file.", a key expression's
    // parse error, a language driver or collation the index does not share
    // with the table); empty when there is nothing wrong. The table is then
    // open for reading only: every write is refused with "Cannot modify a
    // read-only dataset" until the index is rebuilt.
    const std::string& indexProblem() const { return indexProblem_; }
    // Closes the production index (flushed first); the table is then
    // refused for writing like a table whose index has a problem.
    void closeProductionIndex();
    // Sets the header's production index flag (byte 28) in the file.
    void setProductionIndexFlag();
    void setOnIndexMissing(IndexMissingHandler handler) { onIndexMissing_ = std::move(handler); }

    // The path of a file beside the table with the table's name and another
    // extension (".dbt", ".mdx" ...), matched in any letter case; empty when
    // there is none.
    static std::string companionFile(const std::string& tablePath, const std::string& extension);

    // --- Buffers and options ---------------------------------------------------------
    // A record as it was before a change (one record long, reallocated with
    // the record size; freed at close).
    std::vector<uint8_t>& prevBuffer() { return prevBuffer_; }
    // The empty record new records start from (buildEmptyRecord,
    // FieldEncode.h); empty until it is built, freed at close.
    std::vector<uint8_t>& defaultBuffer() { return defaultBuffer_; }
    // The last open was abandoned without a message (see open()).
    bool forceClose() const { return forceClose_; }
    // Creation option: date-time fields become 22-character strings.
    bool copyDateTimeAsString() const { return copyDateTimeAsString_; }
    void setCopyDateTimeAsString(bool on) { copyDateTimeAsString_ = on; }
    // How dBase 7 timestamps are converted; the dataset sets dtBDETimeStamp.
    DateTimeHandling dateTimeHandling() const { return dateTimeHandling_; }
    void setDateTimeHandling(DateTimeHandling handling) { dateTimeHandling_ = handling; }
    bool recordCountDirty() const { return recordCountDirty_; }
    // Appends to an unshared table mark the count; close writes it.
    void setRecordCountDirty() { recordCountDirty_ = true; }

    // A batch copy runs between batchStart() and batchFinish(): the records
    // it appends keep the autoincrement values they carry.
    bool inCopyFrom() const { return inCopyFrom_; }
    void batchStart() { inCopyFrom_ = true; }
    void batchFinish() { inCopyFrom_ = false; }
    // Unshared table: header count and end mark brought up to date now.
    void batchUpdate();

    // Read-ahead on when nobody else can write the file, off otherwise.
    void updateLock();

    // --- Record writing (TableFileWriting.cpp) ---------------------------------
    // Copies the empty record (built on first use) into dest.
    void initRecord(uint8_t* dest);
    // dBase 7: gives dest's "+" fields their next values from the header
    // (read again from the file when shared) and writes the advanced counters
    // with the header. Returns whether there was a "+" field.
    bool applyAutoIncToBuffer(uint8_t* dest);
    // Appends a record at the end of the file and returns its number: locks,
    // the autoincrement values (unless a batch copy runs), the record with
    // one 0x1A after it, then the header's count and date (shared), or the
    // count marked for close (unshared). A refused lock raises
    // RecordLockedError; nothing is written then. buffer is updated with the
    // autoincrement values and the lock stamp.
    int32_t insert(uint8_t* buffer);
    // Asked before appending buffer as the record numbered recordCount() +
    // 1 + ahead: raises the key violation a distinct tag of the production
    // index would refuse it with (KeyViolationError, the catalogue text).
    // Nothing is written or kept (IndexFile::wouldRefuse); no index: nothing.
    void checkNewRecordKeys(const uint8_t* buffer, int32_t ahead = 0);
    // The keys such a record gets in the distinct tags (none without an index).
    std::vector<DistinctTagKey> distinctKeysOfNewRecord(const uint8_t* buffer, int32_t ahead = 0);
    // Locks record recNo for editing and reads it afresh from the file into
    // buffer (so another program's change is never overwritten), keeping a
    // copy in prevBuffer(); with a lock field the stamp is written at once.
    // RecordLockedError when the lock is refused (nothing held then).
    void lockRecord(int32_t recNo, uint8_t* buffer);
    // Writes the edited record and releases its lock; a failed write keeps
    // the lock (the record stays in editing).
    void unlockRecord(int32_t recNo, const uint8_t* buffer);
    // Releases the lock of a record being edited, writing nothing.
    void releaseRecordLock(int32_t recNo);
    // Writes one byte of a record (the deletion flag: offset 0) and nothing
    // else of it.
    void writeRecordByte(int32_t recNo, int offset, uint8_t value);
    // How long refused header and record locks are tried again (0: refused
    // at once, while the append lock waits until it is granted); when set,
    // the append lock waits that long too. The command line waits a few
    // seconds for other writers.
    int lockRetryMillis() const { return lockRetryMillis_; }
    void setLockRetryMillis(int millis) { lockRetryMillis_ = millis; }

    // --- Overrides -------------------------------------------------------------
    // Stamps today's date into the header and marks it for writing.
    void writeHeader() override;
    void flush() override;
    void setRecordSize(int32_t size) override;
    void tryExclusive() override;
    void endExclusive() override;

private:
    void readStructure();
    void loadFieldDescriptors();
    void loadFieldProperties(int32_t blockStart);
    void resolveLanguage();
    void writeRecordCount();
    void closeAfterFailure();
    void openProductionIndex();
    // TableError "Cannot modify a read-only dataset" when the index cannot
    // be kept up to date.
    void checkIndexKept() const;
    // The record's keys into the index (a refusal raised as the index's key
    // violation; a write error of the index as "indexes probably corrupted").
    void insertKeys(int32_t recNo, const uint8_t* buffer);
    void removeKeysQuietly(int32_t recNo, const uint8_t* buffer);
    bool writesAllowed() const;
    // Whether the table can be kept consistent when written (see above).
    bool writableLayout() const;
    bool lockPageRetrying(int32_t pageNo);
    // Today's date into the header copy (bytes 1-3).
    void stampDate();
    void writeLockStamp(uint8_t* buffer);
    int64_t recordOffset(int32_t recNo) const;

    FieldDefs fieldDefs_;
    XBaseVersion dbfVersion_ = xUnknown;
    std::vector<uint8_t> prevBuffer_;
    std::vector<uint8_t> defaultBuffer_;
    int lockUserLen_ = 0;
    int fileCodePage_ = 0;
    int useCodePage_ = 0;
    uint8_t fileLangId_ = 0;
    std::string languageDriverName_;
    bool forceClose_ = false;
    const FieldDef* lockField_ = nullptr;
    const FieldDef* nullField_ = nullptr;
    bool autoIncPresent_ = false;
    bool copyDateTimeAsString_ = false;
    DateTimeHandling dateTimeHandling_ = dtDateTime;
    bool inCopyFrom_ = false;
    bool recordCountDirty_ = false;
    uint32_t headerRecordCount_ = 0;
    int lockRetryMillis_ = 0;
    uint16_t lockCounter_ = 0;
    std::vector<uint8_t> appendBuffer_;   // a record and its end mark
    // Where the descriptors ended: the terminator's offset, -1 when none.
    int32_t terminatorOffset_ = -1;

    bool hasMemoFields_ = false;
    std::string memoFileName_;
    bool memoFilePresent_ = false;
    std::string mdxFileName_;
    IndexMissingHandler onIndexMissing_;
    std::unique_ptr<IndexFile> index_;
    std::string indexProblem_;
};

} // namespace karto
