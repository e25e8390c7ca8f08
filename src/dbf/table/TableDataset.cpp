#include "dbf/table/TableDataset.h"

#include "dbf/index/IndexFile.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>

#include "dbf/Error.h"
#include "dbf/Messages.h"
#include "dbf/field/FieldValue.h"
#include "dbf/index/IndexFile.h"
#include "dbf/table/TableFile.h"
#include "dbf/text/CodePageConversion.h"
#include "dbf/text/Windows1250.h"

namespace karto {

namespace {

constexpr const char* kClosedDataset = "Cannot perform this operation on a closed dataset";
constexpr const char* kOpenDataset = "Cannot perform this operation on an open dataset";
constexpr const char* kRecordNotFound = "Record not found";

std::span<const uint8_t> recordSpan(const uint8_t* record, int size)
{
    return {record, static_cast<std::size_t>(record ? size : 0)};
}

} // namespace

// --- Field ------------------------------------------------------------------

Field::Field(TableDataset& dataset, int index, const FieldDef& def, std::string name)
    : dataset_(dataset), index_(index), def_(&def), fieldName_(std::move(name)),
      dataType_(def.fieldType())
{
    switch (dataType_) {
    case ftString:
    case ftBCD:
    case ftBytes:
        size_ = def.size();
        break;
    default:
        size_ = 0;
    }
    if (dataType_ == ftFloat)
        precision_ = def.precision();
    readOnly_ = dataType_ == ftAutoInc;
    visible_ = !def.isLockField();
    transliterate_ = dataType_ == ftString || dataType_ == ftMemo;
}

// By the typed view, not the letter: a FoxPro "B" field is a double.
bool Field::isBlob() const
{
    return dataType_ == ftMemo || dataType_ == ftBlob || dataType_ == ftDBaseOle;
}

bool Field::isNull() const
{
    const uint8_t* record = dataset_.currentRecord();
    if (!record)
        return true;
    if (isBlob()) {
        if (index_ < static_cast<int>(dataset_.pendingMemos_.size()) && dataset_.pendingMemos_[index_].set)
            return dataset_.pendingMemos_[index_].bytes.empty();
        return dataset_.memoText(index_, record).empty();
    }
    return !getFieldData(*def_, dataset_.recordFormat_, recordSpan(record, dataset_.recordSize_),
                         dataType_, nullptr);
}

std::string Field::asString() const
{
    std::string out;
    if (isBlob() && isEditingState(dataset_.state_) && index_ < static_cast<int>(dataset_.pendingMemos_.size()) &&
        dataset_.pendingMemos_[index_].set)
        return dataset_.pendingMemos_[index_].text;
    if (const uint8_t* record = dataset_.currentRecord())
        dataset_.appendFieldText(out, index_, record);
    return out;
}

std::string Field::rawString() const
{
    const uint8_t* record = dataset_.currentRecord();
    if (!record || dataType_ != ftString)
        return {};
    return dataset_.translatedBytes(index_, record);
}

template <typename T>
static bool readTyped(const TableDataset& ds, const FieldDef& def, const RecordFormat& format,
                      const uint8_t* record, int size, FieldType type, T& value)
{
    (void)ds;
    if (!record)
        return false;
    return getFieldData(def, format, recordSpan(record, size), type, &value);
}

int64_t Field::asLargeInt() const
{
    const uint8_t* record = dataset_.currentRecord();
    const auto& fmt = dataset_.recordFormat_;
    const int rs = dataset_.recordSize_;
    switch (dataType_) {
    case ftSmallint: {
        int16_t v = 0;
        return readTyped(dataset_, *def_, fmt, record, rs, ftSmallint, v) ? v : 0;
    }
    case ftInteger:
    case ftAutoInc: {
        int32_t v = 0;
        return readTyped(dataset_, *def_, fmt, record, rs, dataType_, v) ? v : 0;
    }
    case ftLargeint: {
        int64_t v = 0;
        return readTyped(dataset_, *def_, fmt, record, rs, ftLargeint, v) ? v : 0;
    }
    case ftBoolean:
        return asBoolean() ? 1 : 0;
    default: {
        const double d = asFloat();
        if (!(d > -9.2e18 && d < 9.2e18))
            return 0;
        return static_cast<int64_t>(d);
    }
    }
}

double Field::asFloat() const
{
    const uint8_t* record = dataset_.currentRecord();
    const auto& fmt = dataset_.recordFormat_;
    const int rs = dataset_.recordSize_;
    switch (dataType_) {
    case ftFloat:
    case ftCurrency:
    case ftDate:
    case ftDateTime: {
        double v = 0;
        return readTyped(dataset_, *def_, fmt, record, rs, dataType_, v) ? v : 0.0;
    }
    case ftBCD: {
        int64_t v = 0;
        return readTyped(dataset_, *def_, fmt, record, rs, ftBCD, v) ? static_cast<double>(v) / 10000.0
                                                                   : 0.0;
    }
    case ftSmallint:
    case ftInteger:
    case ftAutoInc:
    case ftLargeint:
    case ftBoolean:
        return static_cast<double>(asLargeInt());
    default:
        return 0.0;
    }
}

double Field::asCurrency() const { return asFloat(); }

bool Field::asBoolean() const
{
    if (dataType_ != ftBoolean)
        return asLargeInt() != 0;
    uint16_t v = 0;
    return readTyped(dataset_, *def_, dataset_.recordFormat_, dataset_.currentRecord(),
                     dataset_.recordSize_, ftBoolean, v) && v != 0;
}

double Field::asDateTime() const
{
    if (dataType_ != ftDate && dataType_ != ftDateTime)
        return 0.0;
    return asFloat();
}

// --- TableDataset -------------------------------------------------------------

TableDataset::TableDataset() = default;

TableDataset::~TableDataset()
{
    try {
        close();
    } catch (...) {
    }
}

void TableDataset::checkActive() const
{
    if (!active())
        throw TableError(kClosedDataset);
}

void TableDataset::checkInactive() const
{
    if (active())
        throw TableError(kOpenDataset);
}

void TableDataset::setState(DatasetState state)
{
    if (state == state_)
        return;
    if (!isStateChangeAllowed(state_, state))
        throw TableError(state_ == dsInactive ? kClosedDataset : "Dataset not in edit or insert mode");
    state_ = state;
}

void TableDataset::setTableName(const std::string& path)
{
    checkInactive();
    namespace fs = std::filesystem;
    const fs::path p(path);
    tableName_ = p.filename().string();
    fs::path folder = p.parent_path();
    if (folder.empty())
        folder = fs::current_path();
    else if (folder.is_relative())
        folder = fs::current_path() / folder;
    absolutePath_ = folder.lexically_normal().string();
    if (absolutePath_.empty() || absolutePath_.back() != '/')
        absolutePath_ += '/';
}

void TableDataset::setReadOnly(bool readOnly)
{
    checkInactive();
    readOnly_ = readOnly;
}

void TableDataset::setExclusive(bool exclusive)
{
    checkInactive();
    exclusive_ = exclusive;
}

void TableDataset::open()
{
    if (active())
        return;
    auto file = std::make_unique<TableFile>();
    file->setFileName(tablePath());
    file->setMode(readOnly_ ? pfReadOnly : (exclusive_ ? pfExclusiveOpen : pfReadWriteOpen));
    file->setDateTimeHandling(dtBDETimeStamp);
    file->open();   // closes itself again when it fails (a writable open of a
                    // table it cannot keep consistent is refused there)
    if (file->forceClose()) {
        file->close();
        throw AbortError();
    }
    file->updateLock();

    tableFile_ = std::move(file);
    try {
        tableLevel_ = tableFile_->tableLevel();
        languageId_ = tableFile_->languageId();
        recordSize_ = tableFile_->recordSize();
        recordFormat_ = recordFormatOf(tableFile_->fieldDefs());
        buildFields();
        memo_.open(*tableFile_);
    } catch (...) {
        fields_.clear();
        memo_.close();
        tableFile_.reset();
        throw;
    }
    // Text written must be translatable into the table's code page: by the
    // translate hook, or else by the engine's own conversion.
    if (!readOnly_ && !onTranslate_ && !canConvertCodePage(tableFile_->useCodePage())) {
        fields_.clear();
        memo_.close();
        tableFile_.reset();
        throw TableError(msg::kReadOnlyDataset);
    }
    // The translate hook is the only conversion of text.
    tableFile_->setUseCodePage(0);
    collectOpenWarnings();
    tableFile_->setLockRetryMillis(lockRetryMillis_);
    pendingMemos_.assign(fields_.size(), PendingMemo{});
    editingRecNo_ = -1;
    modified_ = false;
    current_.assign(static_cast<std::size_t>(recordSize_), 0);
    setState(dsBrowse);
    first();
}

void TableDataset::buildFields()
{
    fields_.clear();
    FieldDefs& defs = tableFile_->fieldDefs();
    std::vector<std::string> taken;
    auto isTaken = [&taken](const std::string& name) {
        for (const std::string& t : taken)
            if (t == name)
                return true;
        return false;
    };
    for (int i = 0; i < defs.count(); ++i) {
        FieldDef& def = defs.item(i);
        std::string name = def.fieldName();
        if (isTaken(name)) {
            for (int n = 2;; ++n) {
                std::string candidate = def.fieldName() + std::to_string(n);
                if (!isTaken(candidate)) {
                    name = candidate;
                    break;
                }
            }
            def.setFieldName(name);
        }
        taken.push_back(name);
        fields_.push_back(std::make_unique<Field>(*this, i, def, windows1250ToUtf8(name)));
    }
}

void TableDataset::collectOpenWarnings()
{
    openWarnings_.clear();
    const int32_t count = tableFile_->recordCount();
    if (tableFile_->headerRecordCount() > static_cast<uint32_t>(count)) {
        OpenWarning w;
        w.kind = OpenWarning::RecordsMissing;
        w.headerCount = tableFile_->headerRecordCount();
        w.fileCount = count;
        openWarnings_.push_back(w);
    }
    if (tableFile_->hasMemoFields() && !tableFile_->memoFilePresent()) {
        OpenWarning w;
        w.kind = OpenWarning::MemoFileMissing;
        w.fileName = tableFile_->memoFileName();
        openWarnings_.push_back(w);
    }
    if (!tableFile_->indexProblem().empty()) {
        OpenWarning w;
        w.kind = OpenWarning::IndexUnusable;
        w.fileName = tableFile_->mdxFileName();
        w.reason = tableFile_->indexProblem();
        openWarnings_.push_back(w);
    }
}

void TableDataset::close()
{
    if (!active())
        return;
    if (isEditingState(state_)) {
        try {
            cancel();   // a pending change is dropped
        } catch (...) {
        }
    }
    setState(dsInactive);
    openWarnings_.clear();
    editingRecNo_ = -1;
    modified_ = false;
    pendingMemos_.clear();
    fields_.clear();
    memo_.close();
    if (tableFile_) {
        std::unique_ptr<TableFile> file = std::move(tableFile_);
        file->close();
    }
    currentRecNo_ = 0;
    eof_ = bof_ = true;
    notifyChange();
}

int TableDataset::recordCount() const
{
    checkActive();
    return tableFile_->recordCount();
}

const uint8_t* TableDataset::currentRecord() const
{
    if (state_ == dsFilter)
        return filterRecord_;
    return currentRecNo_ > 0 || state_ == dsInsert ? current_.data() : nullptr;
}

int TableDataset::recNo() const
{
    checkActive();
    if (state_ == dsInsert)
        return 0;
    return state_ == dsFilter ? filterRecNo_ : currentRecNo_;
}

bool TableDataset::isDeleted() const
{
    return isDeleted(currentRecord());
}

bool TableDataset::isVisible(const uint8_t* record, int physRecNo)
{
    if (!record)
        return false;
    if (!showDeleted_ && isDeleted(record))
        return false;
    if (filtered_ && onFilterRecord_) {
        const DatasetState saved = state_;
        const uint8_t* savedFilter = filterRecord_;
        const int savedFilterRecNo = filterRecNo_;
        state_ = dsFilter;
        filterRecord_ = record;
        filterRecNo_ = physRecNo;
        bool accept = true;
        try {
            onFilterRecord_(*this, accept);
        } catch (...) {
            state_ = saved;
            filterRecord_ = savedFilter;
            filterRecNo_ = savedFilterRecNo;
            throw;
        }
        state_ = saved;
        filterRecord_ = savedFilter;
        filterRecNo_ = savedFilterRecNo;
        return accept;
    }
    return true;
}

// Finds the first visible record from `from` in a direction (+1 / -1) and
// makes it current; returns false, changing nothing, when there is none.
bool TableDataset::seek(int from, int direction)
{
    const int count = walkCount_;
    for (int n = from; n >= 1 && n <= count; n += direction) {
        const uint8_t* record = tableFile_->recordPtr(n);
        if (!record)
            break;
        if (isVisible(record, n)) {
            std::memcpy(current_.data(), record, current_.size());
            currentRecNo_ = n;
            return true;
        }
    }
    return false;
}

void TableDataset::first()
{
    checkActive();
    endPendingChange();
    walkCount_ = tableFile_->recordCount();
    currentRecNo_ = 0;
    const bool found = seek(1, +1);
    eof_ = bof_ = !found;
    if (found)
        eof_ = false, bof_ = true;
    notifyChange();
}

void TableDataset::last()
{
    checkActive();
    endPendingChange();
    walkCount_ = tableFile_->recordCount();
    currentRecNo_ = 0;
    const bool found = seek(walkCount_, -1);
    eof_ = bof_ = !found;
    if (found)
        eof_ = true, bof_ = false;
    notifyChange();
}

void TableDataset::next()
{
    checkActive();
    endPendingChange();
    if (currentRecNo_ <= 0) {
        eof_ = true;
        return;
    }
    if (!controlsDisabled())
        walkCount_ = tableFile_->recordCount();
    if (seek(currentRecNo_ + 1, +1)) {
        bof_ = false;
        eof_ = false;
    } else {
        eof_ = true;
    }
    notifyChange();
}

void TableDataset::prior()
{
    checkActive();
    endPendingChange();
    if (currentRecNo_ <= 0) {
        bof_ = true;
        return;
    }
    walkCount_ = tableFile_->recordCount();
    if (seek(currentRecNo_ - 1, -1)) {
        bof_ = false;
        eof_ = false;
    } else {
        bof_ = true;
    }
    notifyChange();
}

void TableDataset::setRecNo(int recNo)
{
    checkActive();
    endPendingChange();
    if (recNo == currentRecNo_ && recNo > 0) {
        // Re-read it: another program may have changed it.
        reposition(recNo);
        return;
    }
    reposition(recNo);
}

// Makes `recNo` current; when it is hidden the next visible record after it,
// else the previous one; the view is empty when nothing is visible.
void TableDataset::reposition(int recNo)
{
    walkCount_ = tableFile_->recordCount();
    if (recNo < 1)
        recNo = 1;
    if (recNo > walkCount_)
        recNo = walkCount_;
    bool found = recNo >= 1 && seek(recNo, +1);
    if (!found && recNo > 1)
        found = seek(recNo - 1, -1);
    if (!found)
        currentRecNo_ = 0;
    eof_ = bof_ = !found;
    notifyChange();
}

void TableDataset::setShowDeleted(bool show)
{
    if (show == showDeleted_)
        return;
    showDeleted_ = show;
    if (active())
        refresh();
}

void TableDataset::setFiltered(bool filtered)
{
    if (filtered == filtered_)
        return;
    filtered_ = filtered;
    if (active())
        refresh();
}

void TableDataset::refresh()
{
    checkActive();
    endPendingChange();
    tableFile_->invalidateWindow();   // read again what others may have changed
    reposition(currentRecNo_ > 0 ? currentRecNo_ : 1);
}

TableDataset::Bookmark TableDataset::getBookmark() const
{
    checkActive();
    return currentRecNo_;
}

void TableDataset::gotoBookmark(Bookmark bookmark)
{
    checkActive();
    endPendingChange();
    if (bookmark == 0) {
        first();
        return;
    }
    if (bookmark == INT32_MAX) {
        last();
        return;
    }
    walkCount_ = tableFile_->recordCount();
    const uint8_t* record = bookmark >= 1 && bookmark <= walkCount_ ? tableFile_->recordPtr(bookmark)
                                                                     : nullptr;
    if (!record || !isVisible(record, bookmark))
        throw TableError(kRecordNotFound);
    std::memcpy(current_.data(), record, current_.size());
    currentRecNo_ = bookmark;
    eof_ = bof_ = false;
    notifyChange();
}

void TableDataset::disableControls()
{
    if (disableCount_++ == 0 && tableFile_ && readOnly_ && !tableFile_->bufferAhead()) {
        // A read-only walk reads through the read-ahead window for its duration.
        tableFile_->setBufferAhead(true);
        walkBufferAhead_ = true;
    }
}

void TableDataset::enableControls()
{
    if (disableCount_ <= 0)
        return;
    if (--disableCount_ == 0) {
        if (walkBufferAhead_ && tableFile_)
            tableFile_->setBufferAhead(false);
        walkBufferAhead_ = false;
        if (changedWhileDisabled_) {
            changedWhileDisabled_ = false;
            if (onDataChange_)
                onDataChange_();
        }
    }
}

void TableDataset::notifyChange()
{
    if (disableCount_ > 0) {
        changedWhileDisabled_ = true;
        return;
    }
    if (onDataChange_)
        onDataChange_();
}

Field* TableDataset::findField(const std::string& name)
{
    for (auto& f : fields_) {
        const std::string& n = f->fieldName();
        if (n.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < n.size() && same; ++i) {
            char a = n[i], b = name[i];
            if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
            if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
            same = a == b;
        }
        if (same)
            return f.get();
    }
    return nullptr;
}

bool TableDataset::readRecord(int physRecNo, std::vector<uint8_t>& buffer) const
{
    checkActive();
    buffer.resize(static_cast<std::size_t>(recordSize_));
    if (physRecNo < 1)
        return false;
    return tableFile_->readRecord(physRecNo, buffer.data()) == recordSize_;
}

std::string TableDataset::translatedBytes(int field, const uint8_t* record) const
{
    const FieldDef& def = fields_.at(field)->def();
    const std::string_view bytes = stringFieldBytes(def, recordFormat_, recordSpan(record, recordSize_));
    std::string text(bytes);
    if (onTranslate_ && !text.empty()) {
        onTranslate_->translate(reinterpret_cast<uint8_t*>(text.data()),
                                reinterpret_cast<uint8_t*>(text.data()), false);
        text.resize(std::strlen(text.c_str()));
    }
    return text;
}

const std::array<TableDataset::Utf8Bytes, 256>* TableDataset::textMap() const
{
    uint64_t version = 0;
    const uint8_t* map = nullptr;
    if (onTranslate_) {
        map = onTranslate_->readingByteMap(version);
        if (!map)
            return nullptr;
    }
    if (textMapBuilt_ && textMapHook_ == onTranslate_ && textMapVersion_ == version)
        return &textMap_;
    for (int b = 0; b < 256; ++b) {
        std::string utf8;
        const char c = static_cast<char>(map ? map[b] : b);
        appendWindows1250AsUtf8(utf8, &c, 1);
        Utf8Bytes& entry = textMap_[static_cast<std::size_t>(b)];
        entry.length = static_cast<uint8_t>(std::min<std::size_t>(utf8.size(), 3));
        std::memcpy(entry.bytes, utf8.data(), entry.length);
    }
    textMapHook_ = onTranslate_;
    textMapVersion_ = version;
    textMapBuilt_ = true;
    return &textMap_;
}

TableDataset::Windows1250Text TableDataset::windows1250Text(int field, const uint8_t* record) const
{
    const Field& f = *fields_.at(field);
    if (!record || f.dataType() != ftString)
        return {};
    const std::string_view bytes = stringFieldBytes(f.def(), recordFormat_, recordSpan(record, recordSize_));
    if (bytes.empty())
        return {};
    const auto* raw = reinterpret_cast<const uint8_t*>(bytes.data());
    if (!onTranslate_)
        return {raw, bytes.size(), nullptr};
    uint64_t version = 0;
    if (const uint8_t* map = onTranslate_->readingByteMap(version))
        return {raw, bytes.size(), map};
    scratch_.assign(bytes);
    scratch_.push_back('\0');
    auto* data = reinterpret_cast<uint8_t*>(scratch_.data());
    onTranslate_->translate(data, data, false);
    return {data, std::strlen(scratch_.c_str()), nullptr};
}

void TableDataset::appendFieldText(std::string& out, int field, const uint8_t* record) const
{
    const Field& f = *fields_.at(field);
    if (!record)
        return;
    if (f.dataType() == ftString) {
        const std::string_view bytes = stringFieldBytes(f.def(), recordFormat_, recordSpan(record, recordSize_));
        if (bytes.empty())
            return;
        if (const auto* map = textMap()) {
            const std::size_t start = out.size();
            out.resize(start + 3 * bytes.size());
            char* p = out.data() + start;
            for (const char c : bytes) {
                const Utf8Bytes& u = (*map)[static_cast<uint8_t>(c)];
                std::memcpy(p, u.bytes, 3);
                p += u.length;
            }
            out.resize(static_cast<std::size_t>(p - out.data()));
            return;
        }
        if (!onTranslate_) {
            appendWindows1250AsUtf8(out, bytes);
            return;
        }
        // Translate in place in a scratch buffer, NUL-terminated.
        scratch_.assign(bytes.begin(), bytes.end());
        scratch_.push_back('\0');
        onTranslate_->translate(reinterpret_cast<uint8_t*>(scratch_.data()),
                                reinterpret_cast<uint8_t*>(scratch_.data()), false);
        appendWindows1250AsUtf8(out, scratch_.data(), std::strlen(scratch_.data()));
        return;
    }
    if (f.isBlob()) {
        out += memoText(field, record);
        return;
    }
    karto::appendFieldText(out, f.def(), recordFormat_, recordSpan(record, recordSize_),
                           formatSettings_);
}

std::string_view TableDataset::storedText(int field, const uint8_t* record) const
{
    const Field& f = *fields_.at(field);
    if (!record || f.dataType() != ftString)
        return {};
    return stringFieldBytes(f.def(), recordFormat_, recordSpan(record, recordSize_));
}

std::string TableDataset::storedMemo(int field, const uint8_t* record) const
{
    const Field& f = *fields_.at(field);
    if (!record || !f.isBlob())
        return {};
    return memo_.read(f.def(), recordFormat_, recordSpan(record, recordSize_));
}

std::string TableDataset::memoText(int field, const uint8_t* record) const
{
    const Field& f = *fields_.at(field);
    if (!record || !f.isBlob())
        return {};
    std::string bytes = memo_.read(f.def(), recordFormat_, recordSpan(record, recordSize_));
    if (bytes.empty())
        return {};
    if (f.dataType() == ftMemo && onTranslate_) {
        // The hook sees the text in pieces of at most 512 bytes.
        std::vector<uint8_t> piece;
        for (std::size_t pos = 0; pos < bytes.size(); pos += 512) {
            const std::size_t n = std::min<std::size_t>(512, bytes.size() - pos);
            piece.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                         bytes.begin() + static_cast<std::ptrdiff_t>(pos + n));
            piece.push_back(0);
            onTranslate_->translate(piece.data(), piece.data(), false);
            // Bytes after a zero byte inside the piece are left as they were.
            const std::size_t len = std::strlen(reinterpret_cast<const char*>(piece.data()));
            std::memcpy(bytes.data() + pos, piece.data(), std::min(len, n));
        }
    }
    return windows1250ToUtf8(bytes);
}

std::string TableDataset::indexFileName() const
{
    return tableFile_ ? tableFile_->mdxFileName() : std::string();
}

std::vector<IndexTagInfo> TableDataset::indexTags() const
{
    if (!tableFile_ || !tableFile_->indexFile())
        return {};
    return tableFile_->indexFile()->tags();
}

} // namespace karto
