// Record writing in the table file: the empty record, the dBase 7
// autoincrement, appending, and the record locks of editing (TableFile.h).
#include "dbf/table/TableFile.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <span>
#include <thread>

#include "dbf/Error.h"
#include "dbf/Messages.h"
#include "dbf/field/FieldEncode.h"
#include "dbf/field/FieldStorage.h"
#include "dbf/index/IndexFile.h"
#include "dbf/io/ByteOrder.h"
#include "dbf/text/EngineGlobals.h"

namespace karto {

namespace {

constexpr uint8_t kEndMark = 0x1A;
constexpr int32_t kHeaderLock = 0;
constexpr int32_t kAppendLock = -1;

// The page locks an operation holds, released on every way out of it.
class HeldLocks {
public:
    explicit HeldLocks(PagedFile& file) : file_(file) {}
    ~HeldLocks()
    {
        for (auto it = pages_.rbegin(); it != pages_.rend(); ++it)
            file_.unlockPage(*it);
    }
    HeldLocks(const HeldLocks&) = delete;
    HeldLocks& operator=(const HeldLocks&) = delete;

    void add(int32_t page) { pages_.push_back(page); }
    void release(int32_t page)
    {
        const auto it = std::find(pages_.begin(), pages_.end(), page);
        if (it != pages_.end()) {
            pages_.erase(it);
            file_.unlockPage(page);
        }
    }
    // Hands a lock over to the caller: it is no longer released here.
    void keep(int32_t page) { pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end()); }

private:
    PagedFile& file_;
    std::vector<int32_t> pages_;
};

} // namespace

bool TableFile::writableLayout() const
{
    const uint8_t* h = header();
    if (!h || headerSize() < 32)
        return false;
    // An index nobody keeps up to date would go stale: a FoxPro structural
    // index, or a production index that is not open and usable.
    if (dbfVersion_ == xFoxPro ? (h[28] & 0x01) != 0 : (h[28] != 0 && !(index_ && index_->usable())))
        return false;
    for (int i = 0; i < fieldDefs_.count(); ++i) {
        const FieldDef& def = fieldDefs_.item(i);
        // Visual FoxPro's varchar, varbinary and blob fields are read only:
        // their encoding is not written.
        if (def.isVarLength() || def.nativeFieldType() == 'W')
            return false;
        const storage::Storage s = storage::storageOf(def.nativeFieldType(), dbfVersion_, def.size());
        if (s != storage::Storage::Text && def.size() < storage::storageBytes(s))
            return false;
    }
    return true;
}

void TableFile::checkIndexKept() const
{
    if (!indexProblem_.empty())
        throw TableError(msg::kReadOnlyDataset);
}

void TableFile::insertKeys(int32_t recNo, const uint8_t* buffer)
{
    if (!index_)
        return;
    bool inserted;
    try {
        inserted = index_->insert(recNo, buffer);
    } catch (const PagedFileError&) {
        resetError();
        throw PagedFileError(msg::kIndexCorrupted);
    }
    if (!inserted)
        index_->raiseInsertError();
}

namespace {

// The number a record appended after ahead others gets (kept in range).
int32_t numberAhead(int32_t count, int32_t ahead)
{
    return static_cast<int32_t>(std::min<int64_t>(int64_t{count} + 1 + std::max(0, ahead), INT32_MAX));
}

} // namespace

void TableFile::checkNewRecordKeys(const uint8_t* buffer, int32_t ahead)
{
    checkIndexKept();
    if (!index_ || !index_->hasDistinctTags())
        return;
    if (index_->wouldRefuse(numberAhead(recordCount(), ahead), buffer))
        index_->raiseInsertError();
}

std::vector<DistinctTagKey> TableFile::distinctKeysOfNewRecord(const uint8_t* buffer, int32_t ahead)
{
    if (!index_)
        return {};
    return index_->distinctKeys(numberAhead(recordCount(), ahead), buffer);
}

void TableFile::removeKeysQuietly(int32_t recNo, const uint8_t* buffer)
{
    if (!index_)
        return;
    try {
        index_->remove(recNo, buffer);
    } catch (...) {
        // The first failure is the one reported.
    }
}

int64_t TableFile::recordOffset(int32_t recNo) const
{
    return calcPageOffset(recNo);
}

bool TableFile::lockPageRetrying(int32_t pageNo)
{
    if (lockPage(pageNo, false))
        return true;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(lockRetryMillis_);
    while (std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (lockPage(pageNo, false))
            return true;
    }
    return false;
}

void TableFile::initRecord(uint8_t* dest)
{
    if (defaultBuffer_.empty())
        defaultBuffer_ = buildEmptyRecord(fieldDefs_, recordSize());
    karto::initRecord(defaultBuffer_, std::span<uint8_t>(dest, static_cast<size_t>(recordSize())));
}

bool TableFile::applyAutoIncToBuffer(uint8_t* dest)
{
    if (!autoIncPresent_)
        return false;
    checkIndexKept();
    if (isSharedAccess())
        loadHeader();   // the counters as the file holds them now
    // The header copy holds the counters: as read, or as this object left them.
    const uint8_t* h = header();
    const int64_t area = headerSize();
    auto fromHeader = [h, area](int64_t offset, uint8_t* bytes4) {
        if (offset + 4 > area)
            return false;
        std::memcpy(bytes4, h + offset, 4);
        return true;
    };
    const bool any = karto::applyAutoIncToBuffer(
        fieldDefs_, std::span<uint8_t>(dest, static_cast<size_t>(recordSize())),
        std::span<uint8_t>(header(), static_cast<size_t>(headerSize())), fromHeader);
    if (any)
        writeHeader();
    return any;
}

void TableFile::writeLockStamp(uint8_t* buffer)
{
    // A lock field too short for the counter and the time is left alone.
    if (!lockField_ || lockField_->size() < 8 || lockField_->offset() + lockField_->size() > recordSize())
        return;
    uint8_t* p = buffer + lockField_->offset();
    const uint16_t counter = static_cast<uint16_t>(loadLE16(p) + 1);
    storeLE16(p, counter);
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    p[2] = static_cast<uint8_t>(local.tm_hour);
    p[3] = static_cast<uint8_t>(local.tm_min);
    p[4] = static_cast<uint8_t>(local.tm_sec);
    p[5] = static_cast<uint8_t>(local.tm_year % 256);
    p[6] = static_cast<uint8_t>(local.tm_mon + 1);
    p[7] = static_cast<uint8_t>(local.tm_mday);
    const int rest = lockField_->size() - 8;
    std::memset(p + 8, ' ', static_cast<size_t>(rest));
    const std::string& user = engineGlobals().userName();
    const int n = std::min({rest, lockUserLen_, static_cast<int>(user.size())});
    std::memcpy(p + 8, user.data(), static_cast<size_t>(std::max(0, n)));
}

int32_t TableFile::insert(uint8_t* buffer)
{
    checkIndexKept();
    const int32_t size = recordSize();
    HeldLocks locks(*this);
    const bool shared = needLocks();
    int32_t recNo;
    if (shared) {
        if (!lockPageRetrying(kHeaderLock))
            throw RecordLockedError(msg::kRecordLocked);
        locks.add(kHeaderLock);
        // The append lock waits: until it is granted, or for the retry time
        // when one is set.
        if (!(lockRetryMillis_ > 0 ? lockPageRetrying(kAppendLock) : lockPage(kAppendLock, true)))
            throw RecordLockedError(msg::kRecordLocked);
        locks.add(kAppendLock);
        // Numbered from the file's size as it is now, under the append lock.
        recNo = recordCount() + 1;
        if (!lockPageRetrying(recNo))
            throw RecordLockedError(msg::kRecordLocked);
        locks.add(recNo);
        locks.release(kHeaderLock);
        // The header as the file holds it now: other programs' appends and
        // autoincrement values are never written over with a stale copy
        // (the main header, and the descriptors when they hold counters).
        const int64_t fresh = autoIncPresent_ && !inCopyFrom_ ? headerSize() : 32;
        if (readAt(headerOffset(), header(), fresh) != fresh)
            throw PagedFileError(msg::kReadError);
    } else {
        recNo = recordCount() + 1;
    }

    if (!inCopyFrom_ && autoIncPresent_) {
        const uint8_t* h = header();
        const int64_t area = headerSize();
        karto::applyAutoIncToBuffer(
            fieldDefs_, std::span<uint8_t>(buffer, static_cast<size_t>(size)),
            std::span<uint8_t>(header(), static_cast<size_t>(area)),
            [h, area](int64_t offset, uint8_t* bytes4) {
                if (offset + 4 > area)
                    return false;
                std::memcpy(bytes4, h + offset, 4);
                return true;
            });
    }
    if (lockField_)
        writeLockStamp(buffer);

    // The keys first: a refusal leaves nothing written; any later failure
    // takes them out again.
    insertKeys(recNo, buffer);

    const int64_t at = recordOffset(recNo);
    if (!shared) {
        writeRecord(recNo, buffer);
        if (writeError()) {
            resetError();
            invalidateWindow();
            removeKeysQuietly(recNo, buffer);
            throw PagedFileError(msg::kWriteError);
        }
        setRecordCountDirty();
        if (autoIncPresent_ && !inCopyFrom_)
            writeHeader();   // the counters, written at close
        return recNo;
    }

    // The record and one end mark after it, in one write.
    appendBuffer_.assign(buffer, buffer + size);
    appendBuffer_.push_back(kEndMark);
    try {
        checkedWriteAt(at, appendBuffer_.data(), static_cast<int64_t>(appendBuffer_.size()));
    } catch (...) {
        // Take back what may have landed, and the end mark where it was.
        try {
            setStreamSize(at);
            const uint8_t mark = kEndMark;
            writeAt(at, &mark, 1);
        } catch (...) {
        }
        resetError();
        setCachedSize(at);
        removeKeysQuietly(recNo, buffer);
        throw;
    }
    setCachedSize(at + size);   // the end mark is not a record

    // Only now the header: count and date (and the counters taken above:
    // then the whole header, else its bytes 1-7 only).
    storeLE32(header() + 4, static_cast<uint32_t>(recNo));
    if (autoIncPresent_ && !inCopyFrom_) {
        writeHeader();
        if (writeError()) {
            resetError();
            throw PagedFileError(msg::kWriteError);
        }
    } else {
        stampDate();
        checkedWriteAt(headerOffset() + 1, header() + 1, 7);
    }
    return recNo;
}

void TableFile::lockRecord(int32_t recNo, uint8_t* buffer)
{
    checkIndexKept();
    HeldLocks locks(*this);
    if (needLocks()) {
        if (virtualLocks()) {
            if (!lockPageRetrying(kHeaderLock))
                throw RecordLockedError(msg::kRecordLocked);
            locks.add(kHeaderLock);
        }
        if (!lockPageRetrying(recNo))
            throw RecordLockedError(msg::kRecordLocked);
        locks.add(recNo);
        locks.release(kHeaderLock);
    }
    // Read afresh under the lock: another program's change is kept.
    if (needLocks())
        invalidateWindow();
    if (readRecord(recNo, buffer) != recordSize())
        throw TableError("Record not found");
    prevBuffer_.assign(buffer, buffer + recordSize());
    if (lockField_ && lockField_->size() >= 8) {
        writeLockStamp(buffer);
        if (needLocks())
            checkedWriteAt(recordOffset(recNo), buffer, recordSize());
        else
            writeRecord(recNo, buffer);
    }
    locks.keep(recNo);
}

void TableFile::unlockRecord(int32_t recNo, const uint8_t* buffer)
{
    checkIndexKept();
    // The keys of the record as it was locked give way to the new ones; a
    // refusal leaves the record unwritten and locked.
    const bool keyed = index_ && prevBuffer_.size() == static_cast<size_t>(recordSize());
    if (keyed) {
        bool updated;
        try {
            updated = index_->update(recNo, prevBuffer_.data(), buffer);
        } catch (const PagedFileError&) {
            resetError();
            throw PagedFileError(msg::kIndexCorrupted);
        }
        if (!updated)
            index_->raiseInsertError();
    }
    try {
        if (needLocks()) {
            checkedWriteAt(recordOffset(recNo), buffer, recordSize());
        } else {
            writeRecord(recNo, buffer);
            if (writeError()) {
                resetError();
                invalidateWindow();
                throw PagedFileError(msg::kWriteError);
            }
        }
    } catch (...) {
        if (keyed) {
            try {
                index_->update(recNo, buffer, prevBuffer_.data());
            } catch (...) {
            }
        }
        throw;
    }
    // The next post of this record starts from what is written now.
    if (keyed)
        prevBuffer_.assign(buffer, buffer + recordSize());
    unlockPage(recNo);
}

void TableFile::releaseRecordLock(int32_t recNo)
{
    unlockPage(recNo);
}

void TableFile::writeRecordByte(int32_t recNo, int offset, uint8_t value)
{
    checkIndexKept();
    if (offset < 0 || offset >= recordSize())
        return;
    // Straight to the file; the window must not keep the old byte.
    invalidateWindow();
    checkedWriteAt(recordOffset(recNo) + offset, &value, 1);
}

} // namespace karto
