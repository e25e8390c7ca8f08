// Writing through the table dataset: edit, insert, post, cancel, delete,
// undelete, and field values set from text (TableDataset.h).
#include "dbf/table/TableDataset.h"

#include <algorithm>
#include <cstring>

#include "dbf/Error.h"
#include "dbf/Messages.h"
#include "dbf/field/FieldTextInput.h"
#include "dbf/field/FieldValue.h"
#include "dbf/index/IndexFile.h"
#include "dbf/memo/MemoFile.h"
#include "dbf/table/TableFile.h"
#include "dbf/text/Windows1250.h"

namespace karto {

namespace {

// The length of the UTF-8 sequence that starts with byte b (1 for a stray
// byte, which then stands alone in a message).
size_t sequenceLength(unsigned char b)
{
    if (b >= 0xF0 && b < 0xF8)
        return 4;
    if (b >= 0xE0)
        return b < 0xF0 ? 3 : 1;
    if (b >= 0xC0)
        return 2;
    return 1;
}

} // namespace

// --- Field ---------------------------------------------------------------------

void Field::setAsString(const std::string& utf8)
{
    dataset_.checkActive();
    if (!isEditingState(dataset_.state()))
        throw TableError(msg::kNotEditing);
    if (readOnly_ || dataType_ == ftBytes)
        throw FieldValueError(fieldName_, msg::fieldCannotBeModified(fieldName_), FieldValueProblem::ReadOnly);
    dataset_.setFieldText(index_, utf8);
}

void Field::clear()
{
    dataset_.checkActive();
    if (!isEditingState(dataset_.state()))
        throw TableError(msg::kNotEditing);
    if (readOnly_ || dataType_ == ftBytes)
        throw FieldValueError(fieldName_, msg::fieldCannotBeModified(fieldName_), FieldValueProblem::ReadOnly);
    dataset_.clearField(index_);
}

// --- TableDataset ----------------------------------------------------------------

bool TableDataset::canModify() const
{
    // The open refuses a writable table whose text cannot be translated or
    // which cannot be kept consistent; a production index that cannot be
    // kept up to date leaves the table open for reading only.
    return active() && !readOnly_ && tableFile_ && tableFile_->mode() != pfReadOnly &&
           tableFile_->indexProblem().empty();
}

void TableDataset::setLockRetryMillis(int millis)
{
    lockRetryMillis_ = millis;
    if (tableFile_)
        tableFile_->setLockRetryMillis(millis);
}

void TableDataset::checkCanModify() const
{
    checkActive();
    if (!canModify())
        throw TableError(msg::kReadOnlyDataset);
}

void TableDataset::endPendingChange()
{
    if (!isEditingState(state_))
        return;
    if (modified_)
        post();
    else
        cancel();
}

void TableDataset::edit()
{
    checkActive();
    if (isEditingState(state_))
        return;
    if (isEmpty()) {
        insert();
        return;
    }
    checkCanModify();
    const int recNo = currentRecNo_;
    // Locked and read afresh: another program's change is what is edited.
    tableFile_->lockRecord(recNo, current_.data());
    editingRecNo_ = recNo;
    for (PendingMemo& m : pendingMemos_)
        m = PendingMemo{};
    modified_ = false;
    setState(dsEdit);
    notifyChange();
}

void TableDataset::insert()
{
    checkActive();
    endPendingChange();
    checkCanModify();
    // The stored record stays at hand for a cancel.
    browseRecord_.assign(current_.begin(), current_.end());
    tableFile_->initRecord(current_.data());
    for (PendingMemo& m : pendingMemos_)
        m = PendingMemo{};
    modified_ = false;
    setState(dsInsert);
    notifyChange();
}

void TableDataset::append()
{
    // A new record always goes to the end of the file: the same as insert().
    insert();
}

void TableDataset::writePendingMemos()
{
    for (int i = 0; i < fieldCount(); ++i) {
        PendingMemo& m = pendingMemos_[static_cast<size_t>(i)];
        if (!m.set || m.written)
            continue;
        const FieldDef& def = fields_[static_cast<size_t>(i)]->def();
        const std::span<uint8_t> record(current_);
        if (m.bytes.empty()) {
            setFieldData(def, recordFormat_, record, def.fieldType(), nullptr);
        } else {
            MemoFile* file = memo_.file();
            if (!file)
                throw TableError(msg::kMemoFileMissing);
            // Always appended: blocks another program may be reading are
            // never overwritten in place.
            int32_t block = 0;
            file->writeMemo(block, 0,
                            std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(m.bytes.data()),
                                                     m.bytes.size()));
            setFieldData(def, recordFormat_, record, def.fieldType(), &block);
        }
        m.written = true;
    }
}

void TableDataset::post()
{
    checkActive();
    if (!isEditingState(state_))
        return;
    writePendingMemos();
    int recNo;
    if (state_ == dsEdit) {
        tableFile_->unlockRecord(editingRecNo_, current_.data());
        recNo = editingRecNo_;
        editingRecNo_ = -1;
    } else {
        recNo = tableFile_->insert(current_.data());
    }
    for (PendingMemo& m : pendingMemos_)
        m = PendingMemo{};
    modified_ = false;
    setState(dsBrowse);
    // The record becomes current as written, without reading it again,
    // unless it is hidden now (deleted, filtered): then its neighbour.
    if (isVisible(current_.data(), recNo)) {
        currentRecNo_ = recNo;
        eof_ = bof_ = false;
        notifyChange();
    } else {
        reposition(recNo);
    }
}

void TableDataset::checkNewRecordKeys(int ahead)
{
    checkActive();
    if (state_ != dsInsert)
        throw TableError(msg::kNotEditing);
    tableFile_->checkNewRecordKeys(current_.data(), ahead);
}

std::vector<DistinctTagKey> TableDataset::distinctKeysOfNewRecord(int ahead)
{
    checkActive();
    if (state_ != dsInsert)
        throw TableError(msg::kNotEditing);
    return tableFile_->distinctKeysOfNewRecord(current_.data(), ahead);
}

void TableDataset::cancel()
{
    checkActive();
    if (!isEditingState(state_))
        return;
    if (editingRecNo_ > 0)
        tableFile_->releaseRecordLock(editingRecNo_);
    editingRecNo_ = -1;
    for (PendingMemo& m : pendingMemos_)
        m = PendingMemo{};
    modified_ = false;
    const bool inserting = state_ == dsInsert;
    setState(dsBrowse);
    // The stored record shows again (nothing current on an empty view): as
    // it was before the insert, or read again after an edit.
    if (inserting && currentRecNo_ > 0 && browseRecord_.size() == current_.size()) {
        current_ = browseRecord_;
        notifyChange();
    } else if (currentRecNo_ > 0) {
        reposition(currentRecNo_);
    } else {
        notifyChange();
    }
}

void TableDataset::deleteRecord()
{
    checkActive();
    if (state_ == dsInsert) {
        cancel();
        return;
    }
    if (isEmpty())
        throw TableError(msg::kEmptyDataset);
    endPendingChange();
    checkCanModify();
    edit();
    current_[0] = '*';
    modified_ = true;
    // Written with its mark and unlocked; with deleted records hidden the
    // next visible record (or the previous one) becomes current.
    post();
}

void TableDataset::undelete()
{
    checkActive();
    endPendingChange();
    if (isEmpty())
        return;
    checkCanModify();
    edit();
    if (state_ != dsEdit || current_[0] != '*')
        return;
    // Only the deletion byte: the rest of the record stays as the file has it.
    tableFile_->writeRecordByte(editingRecNo_, 0, ' ');
    current_[0] = ' ';
    notifyChange();
}

void TableDataset::duplicateRecord()
{
    checkActive();
    endPendingChange();
    if (isEmpty())
        throw TableError(msg::kEmptyDataset);
    checkCanModify();
    // The source as the file holds it now, and its memo values as stored.
    std::vector<uint8_t> source;
    if (!readRecord(currentRecNo_, source))
        throw TableError("Record not found");
    std::vector<std::string> memos(fields_.size());
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i]->isBlob())
            memos[i] = memo_.read(fields_[i]->def(), recordFormat_, std::span<const uint8_t>(source));
    }

    insert();
    try {
        const std::vector<uint8_t> empty(current_);
        std::copy(source.begin(), source.end(), current_.begin());
        current_[0] = ' ';
        const FieldDefs& defs = tableFile_->fieldDefs();
        for (int i = 0; i < defs.count(); ++i) {
            const FieldDef& def = defs.item(i);
            if (def.nativeFieldType() != '+' && !def.isLockField())
                continue;
            const auto from = static_cast<size_t>(def.offset());
            const size_t to = std::min(from + static_cast<size_t>(def.size()), current_.size());
            std::copy(empty.begin() + static_cast<std::ptrdiff_t>(from), empty.begin() + static_cast<std::ptrdiff_t>(to),
                      current_.begin() + static_cast<std::ptrdiff_t>(from));
        }
        // Every memo value into blocks of its own (an empty one clears the
        // copied block number, which must not be shared with the source).
        for (size_t i = 0; i < fields_.size(); ++i) {
            if (!fields_[i]->isBlob())
                continue;
            PendingMemo m;
            m.set = true;
            m.bytes = std::move(memos[i]);
            pendingMemos_[i] = std::move(m);
        }
        modified_ = true;
        post();
    } catch (...) {
        cancel();
        throw;
    }
}

std::string TableDataset::tableBytesOf(const Field& field, const std::string& utf8, bool memo) const
{
    // Windows 1250 first; when a character has no byte, character by
    // character again, so that it is named.
    std::string bytes;
    appendUtf8AsWindows1250(bytes, utf8, '\0');
    const bool missing = bytes.find('\0') != std::string::npos;
    for (size_t i = 0; missing && i < utf8.size();) {
        const size_t n = std::min(sequenceLength(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        const std::string_view ch(utf8.data() + i, n);
        std::string one;
        appendUtf8AsWindows1250(one, ch, '\0');
        if (one.size() != 1 || one[0] == '\0')
            throw FieldValueError(field.fieldName(),
                                  "Character '" + std::string(ch) + "' of field '" + field.fieldName() +
                                      "' has no byte in the table's code page.",
                                  FieldValueProblem::NoByteInCodePage, std::string(ch));
        i += n;
    }
    if (!onTranslate_ || bytes.empty())
        return bytes;
    // Towards the file through the hook, and back: a byte that does not come
    // back as it went is a character the table's code page lacks.
    std::vector<uint8_t> stored(bytes.begin(), bytes.end());
    std::vector<uint8_t> back;
    if (memo) {
        translateMemoText(stored, *onTranslate_, true);
        back = stored;
        translateMemoText(back, *onTranslate_, false);
    } else {
        stored.push_back(0);
        onTranslate_->translate(stored.data(), stored.data(), true);
        stored.resize(std::strlen(reinterpret_cast<const char*>(stored.data())));
        back = stored;
        back.push_back(0);
        onTranslate_->translate(back.data(), back.data(), false);
        back.resize(std::strlen(reinterpret_cast<const char*>(back.data())));
    }
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i >= back.size() || back[i] != static_cast<uint8_t>(bytes[i])) {
            const std::string ch = windows1250ToUtf8(std::string_view(bytes.data() + i, 1));
            throw FieldValueError(field.fieldName(),
                                  "Character '" + ch + "' of field '" + field.fieldName() +
                                      "' has no byte in the table's code page.",
                                  FieldValueProblem::NoByteInCodePage, ch);
        }
    }
    return std::string(stored.begin(), stored.end());
}

void TableDataset::setFieldText(int index, const std::string& utf8)
{
    const Field& f = *fields_.at(static_cast<size_t>(index));
    const FieldDef& def = f.def();
    const std::span<uint8_t> record(current_);
    if (f.isBlob()) {
        PendingMemo m;
        m.set = true;
        m.text = utf8;
        // Text memos in the table's code page; binary values as they come.
        m.bytes = f.dataType() == ftMemo ? tableBytesOf(f, utf8, true) : utf8;
        // A value the memo file cannot take is refused now, not at post().
        const char* refusal = msg::kMemoFileMissing;
        if (!m.bytes.empty() && (!memo_.file() || !memo_.file()->canWriteValues(&refusal)))
            throw FieldValueError(f.fieldName(), refusal);
        pendingMemos_[static_cast<size_t>(index)] = std::move(m);
    } else if (f.dataType() == ftString) {
        if (utf8.empty()) {
            setFieldData(def, recordFormat_, record, ftString, nullptr);
        } else {
            const std::string bytes = tableBytesOf(f, utf8, false);
            if (static_cast<int>(bytes.size()) > def.size())
                throw FieldValueError(f.fieldName(), "Text of " + std::to_string(bytes.size()) +
                                                         " characters does not fit into field '" +
                                                         f.fieldName() + "' (" + std::to_string(def.size()) +
                                                         " characters).",
                                      FieldValueProblem::TextTooLong, utf8);
            setFieldData(def, recordFormat_, record, ftString, bytes.c_str());
        }
    } else {
        setFieldFromText(def, recordFormat_, record, utf8, formatSettings_, f.fieldName());
    }
    modified_ = true;
    notifyChange();
}

void TableDataset::clearField(int index)
{
    const Field& f = *fields_.at(static_cast<size_t>(index));
    if (f.isBlob()) {
        PendingMemo m;
        m.set = true;
        pendingMemos_[static_cast<size_t>(index)] = std::move(m);
    } else {
        setFieldData(f.def(), recordFormat_, std::span<uint8_t>(current_), f.dataType(), nullptr);
    }
    modified_ = true;
    notifyChange();
}

} // namespace karto
