#pragma once
// The table dataset: the program's only view of an open table.
//
// Two kinds of callers use it:
//  - walkers (exports, search, column sum) move a cursor over the visible
//    records in physical order: first(), next(), eof(), recNo(), bookmarks,
//    disableControls()/enableControls(), and read the current record's fields;
//  - the grid reads any record directly by its physical number
//    (readRecord()) and asks for field texts of that raw record buffer
//    (appendFieldText(..., record)), so a million records never need a walk.
//    isVisible() tells whether a raw record passes the deleted/filter rules;
//    the grid builds its row mapping from it when records are hidden.
//
// Writing (TableDatasetEditing.cpp) follows the states of DatasetState.h:
// edit() locks the current record and reads it afresh, insert()/append()
// start a new record from the table's empty record; fields are then set
// from text (Field::setAsString) or emptied (Field::clear); post() writes the
// record (memo values first) and cancel() drops the change. Nothing reaches
// any file (table or memo) before post(), and cancel() changes no byte of
// them. A failed post() leaves the dataset in its editing state (the record
// still locked) so that the caller can correct or cancel. Moving the cursor
// or refresh() ends a pending change: posted when a field was set, else
// cancelled; close() cancels it. Writing needs a dataset opened with
// setReadOnly(false); otherwise "Cannot modify a read-only dataset".
//
// Nobody else reads a table: the window, the search, the filter, the column
// sum and the exports ask the dataset for a record's deletion flag, a field's
// bytes or its text, and never decode record bytes or reach the table file
// themselves. Its states and their moves are drawn in DatasetState.h.
//
// Text: character and memo values pass the translate hook in place (the
// program converts Latin 2 / Kamenický to Windows 1250 there) and are then
// decoded from Windows 1250 to UTF-8. asString() and appendFieldText() give
// UTF-8; rawString() gives the 8-bit text after the hook. The hook is the
// only conversion: the table file's own code page translation is switched
// off on every open.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/field/FieldDef.h"
#include "dbf/field/FieldType.h"
#include "dbf/field/FieldValue.h"
#include "dbf/field/FormatSettings.h"
#include "dbf/index/IndexFile.h"
#include "dbf/memo/MemoReader.h"
#include "dbf/table/DatasetState.h"
#include "dbf/table/OpenWarning.h"
#include "dbf/text/TranslateHook.h"

namespace karto {

class TableFile;
class TableDataset;

// A field of the open table as the dataset presents it (unique name, typed view).
class Field {
public:
    Field(TableDataset& dataset, int index, const FieldDef& def, std::string name);

    int index() const { return index_; }
    const std::string& fieldName() const { return fieldName_; }
    FieldType dataType() const { return dataType_; }
    // Length for string, BCD and bytes fields, 0 for the others.
    int size() const { return size_; }
    int precision() const { return precision_; }
    bool readOnly() const { return readOnly_; }
    bool visible() const { return visible_; }
    // Character fields and text memos go through the translate hook.
    bool transliterate() const { return transliterate_; }
    bool isBlob() const;
    const FieldDef& def() const { return *def_; }

    // Values of the current record.
    bool isNull() const;
    std::string asString() const;     // UTF-8 text form
    std::string rawString() const;    // 8-bit text after the translate hook
    int64_t asLargeInt() const;
    double asFloat() const;
    double asCurrency() const;
    bool asBoolean() const;
    double asDateTime() const;        // days since 30 December 1899

    // Sets the field of the record being edited or inserted from text as the
    // user typed it (UTF-8): the text forms the grid shows, read back
    // (FieldTextInput.h); character and memo text are stored in the table's
    // code page through the translate hook. Refused, with the record
    // unchanged and still in editing: outside edit or insert ("Dataset not
    // in edit or insert mode"), a read-only field such as an autoincrement
    // ("Field '%s' cannot be modified"), and as FieldValueError a value the
    // field cannot hold: not a number or date, an integer part wider than the
    // field, a text longer than a character field, a character the table's
    // code page has no byte for.
    void setAsString(const std::string& utf8);
    // Empties the field of the record being edited or inserted.
    void clear();

private:
    friend class TableDataset;
    TableDataset& dataset_;
    int index_;
    const FieldDef* def_;
    std::string fieldName_;
    FieldType dataType_;
    int size_ = 0;
    int precision_ = 0;
    bool readOnly_ = false;
    bool visible_ = true;
    bool transliterate_ = false;
};

class TableDataset {
public:
    using Bookmark = int32_t;
    // Accept flag preset to true; the callback may clear it.
    using FilterRecordCallback = std::function<void(TableDataset&, bool& accept)>;
    using NotifyCallback = std::function<void()>;

    TableDataset();
    ~TableDataset();
    TableDataset(const TableDataset&) = delete;
    TableDataset& operator=(const TableDataset&) = delete;

    // Configuration (closed dataset).
    void setTableName(const std::string& path);   // full path as given
    const std::string& tableName() const { return tableName_; }        // file name
    const std::string& absolutePath() const { return absolutePath_; }  // folder, trailing '/'
    std::string tablePath() const { return absolutePath_ + tableName_; }
    void setReadOnly(bool readOnly);
    bool readOnly() const { return readOnly_; }
    void setExclusive(bool exclusive);
    void setFormatSettings(const FormatSettings& settings) { formatSettings_ = settings; }
    const FormatSettings& formatSettings() const { return formatSettings_; }
    // The hook is not owned; nullptr removes it.
    void setOnTranslate(TranslateHook* hook) { onTranslate_ = hook; }
    TranslateHook* onTranslate() const { return onTranslate_; }

    // Open and close. A silent abort (empty header) leaves the dataset closed
    // and throws AbortError; other failures throw their KartoError.
    void open();
    void close();
    void setActive(bool active) { active ? open() : close(); }
    bool active() const { return state_ != dsInactive; }
    DatasetState state() const { return state_; }
    int tableLevel() const { return tableLevel_; }
    uint8_t languageId() const { return languageId_; }
    // Bytes of one record as stored, the deletion flag included.
    int recordSize() const { return recordSize_; }
    // What the last open found wrong with the table (records missing at the
    // end, a missing memo file); empty when closed or when all is well.
    const std::vector<OpenWarning>& openWarnings() const { return openWarnings_; }
    // The production index the table names: its file (empty when none) and
    // its tags as the file describes them (none when it could not be opened;
    // openWarnings() then tells why).
    std::string indexFileName() const;
    std::vector<IndexTagInfo> indexTags() const;
    // The engine's own objects, for the engine and its tests; the program
    // goes through the dataset's operations.
    TableFile* tableFile() { return tableFile_.get(); }
    const TableFile* tableFile() const { return tableFile_.get(); }

    // Cursor over the visible records in physical order.
    void first();
    void next();
    void prior();
    void last();
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }
    bool isEmpty() const { return currentRecNo_ <= 0; }
    int recNo() const;                 // physical number of the current record, 1-based
    void setRecNo(int recNo);
    int recordCount() const;           // every record in the file
    bool isDeleted() const;

    bool showDeleted() const { return showDeleted_; }
    void setShowDeleted(bool show);
    bool filtered() const { return filtered_; }
    void setFiltered(bool filtered);
    void setOnFilterRecord(FilterRecordCallback callback) { onFilterRecord_ = std::move(callback); }
    void refresh();

    Bookmark getBookmark() const;
    void gotoBookmark(Bookmark bookmark);   // "Record not found" when hidden
    void freeBookmark(Bookmark) {}

    // Bound views are told of changes unless controls are disabled.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return disableCount_ > 0; }
    void setOnDataChange(NotifyCallback callback) { onDataChange_ = std::move(callback); }

    // Fields.
    int fieldCount() const { return static_cast<int>(fields_.size()); }
    Field& field(int index) { return *fields_.at(index); }
    const Field& field(int index) const { return *fields_.at(index); }
    Field* findField(const std::string& name);

    // The current record's raw bytes (deletion flag first); null when empty.
    const uint8_t* currentRecord() const;

    // Direct access by physical record number (1-based), for the grid.
    // Returns false when the number is not a record of the file.
    bool readRecord(int physRecNo, std::vector<uint8_t>& buffer) const;
    // Whether a raw record is visible under the deleted/filter rules; the
    // filter callback sees it as the current record, numbered physRecNo.
    bool isVisible(const uint8_t* record, int physRecNo = 0);
    // Whether a raw record is marked deleted.
    static bool isDeleted(const uint8_t* record) { return record && record[0] == '*'; }
    // A character field's text of a raw record as Windows 1250 bytes: the
    // stored bytes (trailing blanks cut) and the byte table through which
    // they read (the translate hook's; nullptr when they read as they are).
    // A hook without a byte table has translated them into the dataset's
    // scratch buffer, valid until the next call. Empty for other fields.
    struct Windows1250Text {
        const uint8_t* bytes = nullptr;
        std::size_t size = 0;
        const uint8_t* byteMap = nullptr;
    };
    Windows1250Text windows1250Text(int field, const uint8_t* record) const;
    // Appends the UTF-8 text form of a field of a raw record.
    void appendFieldText(std::string& out, int field, const uint8_t* record) const;
    // Memo text (UTF-8, translated) of a field of a raw record.
    std::string memoText(int field, const uint8_t* record) const;
    // The bytes as the table stores them, untranslated: of a character field
    // (trailing blanks cut, as the text is shown), and of a memo or other
    // binary field's value. Empty for other fields. For what looks at the
    // text itself, such as telling its code page.
    std::string_view storedText(int field, const uint8_t* record) const;
    std::string storedMemo(int field, const uint8_t* record) const;

    // Raises "Cannot perform this operation on a closed dataset" when closed.
    void checkActive() const;

    // --- Writing (TableDatasetEditing.cpp) --------------------------------------
    // Locks the current record and enters dsEdit (an empty view: insert());
    // "Record locked." when another holder has it. Nothing in dsEdit/dsInsert.
    void edit();
    // A new record from the table's empty record, in dsInsert; it is
    // appended at the end of the file by post() whatever the position.
    void insert();
    void append();
    // Writes the record being edited or inserted and returns to dsBrowse with
    // it current; nothing outside dsEdit/dsInsert.
    void post();
    // Drops the change (and the record lock) and shows the stored record again.
    void cancel();
    // Marks the current record deleted in the file (in dsInsert: cancel()).
    void deleteRecord();
    // Recalls the current record when it is marked deleted: writes only its
    // deletion byte, freshly read under its lock. Ends in dsEdit (Edit's lock
    // held) as the grid expects; the next move cancels it.
    void undelete();
    // Appends a copy of the current record and makes it current: the
    // record's bytes as the file holds them (numbers, dates, null flags as
    // they are, no text round trip), the deletion flag a space, the
    // autoincrement and lock fields from the empty record (new values are
    // given by the append), and memo values copied into new blocks of the
    // memo file. A pending change is ended first. Either the copy is
    // appended whole or nothing is: on any failure the dataset is back on
    // the source record in dsBrowse and the error goes on to the caller.
    void duplicateRecord();
    // Asked about the new record (dsInsert) before post(), as if ahead other
    // records were appended first: raises the key violation a distinct tag
    // of the production index would refuse it with (KeyViolationError),
    // changing nothing in any file. Outside dsInsert "Dataset not in edit or
    // insert mode".
    void checkNewRecordKeys(int ahead = 0);
    // The new record's keys in the distinct tags (none without an index), so
    // that new records can be compared with each other before any is posted.
    std::vector<DistinctTagKey> distinctKeysOfNewRecord(int ahead = 0);
    // Whether a field was set since edit() or insert().
    bool modified() const { return modified_; }
    // Whether writing is allowed: open, not read-only, text translatable.
    bool canModify() const;
    // How long refused record and header locks (and, when set, the append
    // lock) are tried again; 0, the default, refuses them at once (the
    // append lock then waits). Kept across opens.
    void setLockRetryMillis(int millis);
    int lockRetryMillis() const { return lockRetryMillis_; }

private:
    friend class Field;
    void checkInactive() const;
    // Moves to another state along the moves of DatasetState.h.
    void setState(DatasetState state);
    void buildFields();
    void collectOpenWarnings();
    bool seek(int from, int direction);
    void reposition(int recNo);
    void notifyChange();
    std::string translatedBytes(int field, const uint8_t* record) const;
    void checkCanModify() const;
    // Posts a pending change when a field was set, else cancels it.
    void endPendingChange();
    void setFieldText(int field, const std::string& utf8);
    void clearField(int field);
    void writePendingMemos();
    // UTF-8 text as the table stores it: Windows 1250, then the translate
    // hook towards the file; FieldValueError when a character has no byte.
    std::string tableBytesOf(const Field& field, const std::string& utf8, bool memo) const;

    // Character field bytes to UTF-8 in one pass: the hook's byte table
    // combined with the Windows 1250 decoding; null when the hook has none.
    struct Utf8Bytes {
        uint8_t length;
        char bytes[3];
    };
    const std::array<Utf8Bytes, 256>* textMap() const;

    std::string tableName_;
    std::string absolutePath_;
    bool readOnly_ = true;
    bool exclusive_ = false;
    FormatSettings formatSettings_;
    TranslateHook* onTranslate_ = nullptr;
    DatasetState state_ = dsInactive;
    int tableLevel_ = 5;
    uint8_t languageId_ = 0;
    std::unique_ptr<TableFile> tableFile_;
    std::vector<std::unique_ptr<Field>> fields_;
    bool eof_ = true;
    bool bof_ = true;
    int currentRecNo_ = 0;
    std::vector<uint8_t> current_;
    bool showDeleted_ = false;
    bool filtered_ = false;
    FilterRecordCallback onFilterRecord_;
    int disableCount_ = 0;
    bool changedWhileDisabled_ = false;
    NotifyCallback onDataChange_;
    int recordSize_ = 0;
    std::vector<OpenWarning> openWarnings_;
    RecordFormat recordFormat_;
    MemoReader memo_;
    mutable std::string scratch_;
    int walkCount_ = 0;
    const uint8_t* filterRecord_ = nullptr;
    int filterRecNo_ = 0;
    bool walkBufferAhead_ = false;
    mutable std::array<Utf8Bytes, 256> textMap_{};
    mutable const TranslateHook* textMapHook_ = nullptr;
    mutable uint64_t textMapVersion_ = 0;
    mutable bool textMapBuilt_ = false;

    // Writing.
    int32_t editingRecNo_ = -1;
    std::vector<uint8_t> browseRecord_;   // the current record before insert()
    int lockRetryMillis_ = 0;
    bool modified_ = false;
    // Memo values set since edit()/insert(): the bytes to store (table code
    // page), the text shown meanwhile, and the block written by a post that
    // failed later (a retried post does not write it again).
    struct PendingMemo {
        bool set = false;
        std::string bytes;
        std::string text;
        bool written = false;
    };
    std::vector<PendingMemo> pendingMemos_;
};

// Suspends a dataset's bound views for a walk, also when the walk fails.
class ControlsDisabled {
public:
    explicit ControlsDisabled(TableDataset& dataset) : dataset_(dataset) { dataset_.disableControls(); }
    ~ControlsDisabled() { dataset_.enableControls(); }
    ControlsDisabled(const ControlsDisabled&) = delete;
    ControlsDisabled& operator=(const ControlsDisabled&) = delete;

private:
    TableDataset& dataset_;
};

} // namespace karto
