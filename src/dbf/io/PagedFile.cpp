#include "dbf/io/PagedFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dbf/Error.h"
#include "dbf/Messages.h"

namespace karto {

namespace {

// Virtual lock offsets: page n is the byte at kLockBase - n (32-bit
// arithmetic), the whole-file lock covers pages 0 and -1, and the record probe
// covers pages 1,000,000,000 down to 1.
constexpr uint32_t kLockBase = 0xEFFFFFFEu;
constexpr int64_t kProbeOffset = 0xB46535FE;
constexpr int64_t kProbeLength = 1000000000;
constexpr int64_t kWholeFileLength = 0x7FFFFFFF;
// A memory stream never grows beyond this.
constexpr int64_t kMaxMemoryStream = std::numeric_limits<int32_t>::max();

bool isLockViolation(int error)
{
    return error == EAGAIN || error == EACCES || error == EWOULDBLOCK;
}

} // namespace

bool modeCreatesFile(PagedFileMode mode)
{
    return mode == pfMemoryCreate || mode == pfExclusiveCreate || mode == pfReadWriteCreate;
}

bool modeIsShared(PagedFileMode mode)
{
    return mode == pfReadWriteCreate || mode == pfReadWriteOpen || mode == pfReadOnly;
}

PagedFile::PagedFile() = default;

PagedFile::~PagedFile()
{
    try {
        unlockAllPages();
        closeFile();
    } catch (...) {
        // A destructor reports nothing; the descriptor is closed below.
    }
    if (fd_ >= 0)
        ::close(fd_);
}

void PagedFile::setFileName(const std::string& name)
{
    if (!active_)
        fileName_ = name;
}

void PagedFile::setStream(std::vector<uint8_t>* stream)
{
    if (!active_)
        memStream_ = stream;
}

// --- Opening and closing -----------------------------------------------------

void PagedFile::openFile()
{
    if (active_)
        return;
    userMode_ = mode_;

    if (mode_ == pfMemoryCreate || mode_ == pfMemoryOpen) {
        if (!memStream_) {
            mode_ = pfMemoryCreate;
            ownedMemStream_ = std::make_unique<std::vector<uint8_t>>();
            memStream_ = ownedMemStream_.get();
        }
        if (mode_ == pfMemoryCreate)
            memStream_->clear();
        usingMemory_ = true;
    } else {
        struct stat st {};
        const bool exists = ::stat(fileName_.c_str(), &st) == 0;
        if (!exists) {
            if (autoCreate_) {
                if (mode_ == pfExclusiveOpen)
                    mode_ = pfExclusiveCreate;
                else if (mode_ == pfReadWriteOpen || mode_ == pfReadOnly)
                    mode_ = pfReadWriteCreate;
            }
            if (!modeCreatesFile(mode_)) {
                mode_ = userMode_;
                throw PagedFileError(msg::fileNotFound(fileName_));
            }
        }
        const bool writable = mode_ == pfExclusiveCreate || mode_ == pfExclusiveOpen ||
                              mode_ == pfReadWriteCreate || mode_ == pfReadWriteOpen;
        int flags = (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
        if (modeCreatesFile(mode_))
            flags |= O_CREAT;
        const int fd = ::open(fileName_.c_str(), flags, 0666);
        if (fd < 0) {
            const int error = errno;
            mode_ = userMode_;
            throw FileOpenError(msg::cannotOpenFile(fileName_, std::strerror(error)));
        }
        struct stat fst {};
        if (::fstat(fd, &fst) != 0 || !S_ISREG(fst.st_mode)) {
            ::close(fd);
            mode_ = userMode_;
            throw FileOpenError(msg::cannotOpenFile(fileName_, "It is not a regular file."));
        }
        const bool exclusive = mode_ == pfExclusiveCreate || mode_ == pfExclusiveOpen;
        int rc;
        do {
            rc = ::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            const int error = errno;
            ::close(fd);
            mode_ = userMode_;
            throw FileOpenError(msg::cannotOpenFile(
                fileName_, isLockViolation(error) ? "The file is in use by another process."
                                                  : std::strerror(error)));
        }
        fd_ = fd;
        writable_ = writable;
        if (modeCreatesFile(mode_) && ::ftruncate(fd_, 0) != 0) {
            ::close(fd_);
            fd_ = -1;
            mode_ = userMode_;
            throw PagedFileError(msg::kWriteError);
        }
    }

    active_ = true;
    cachedSize_ = streamSize();
    needRecalc_ = true;
    needLocks_ = isSharedAccess();
    fileLocked_ = false;
    resetWindow();
}

void PagedFile::closeFile()
{
    if (!active_)
        return;
    struct Finish {
        PagedFile& f;
        ~Finish()
        {
            if (f.fd_ >= 0) {
                ::close(f.fd_);   // releases the flock and every byte-range lock
                f.fd_ = -1;
            }
            f.writable_ = false;
            f.usingMemory_ = false;
            f.window_.clear();
            f.window_.shrink_to_fit();
            f.bufferMaxSize_ = 0;
            f.bufferPage_ = -1;
            f.bufferOffset_ = -1;
            f.bufferSize_ = 0;
            f.bufferModified_ = false;
            f.mode_ = f.userMode_;
            f.active_ = false;
            f.fileLocked_ = false;
            f.cachedRecordCount_ = 0;
        }
    } finish{*this};
    saveHeader();
    saveWindow();
}

void PagedFile::deleteFile()
{
    if (!active_ && !fileName_.empty())
        ::unlink(fileName_.c_str());
}

// --- Raw stream access --------------------------------------------------------

int64_t PagedFile::readAt(int64_t offset, void* buffer, int64_t length)
{
    if (length <= 0 || offset < 0)
        return 0;
    if (usingMemory_) {
        const int64_t size = static_cast<int64_t>(memStream_->size());
        if (offset >= size)
            return 0;
        const int64_t n = std::min(length, size - offset);
        std::memcpy(buffer, memStream_->data() + offset, static_cast<size_t>(n));
        return n;
    }
    if (fd_ < 0)
        return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t total = 0;
    while (total < length) {
        const ssize_t r = ::pread(fd_, out + total, static_cast<size_t>(length - total),
                                  static_cast<off_t>(offset + total));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw PagedFileError(msg::kReadError);
        }
        if (r == 0)
            break;
        total += r;
    }
    return total;
}

int64_t PagedFile::writeAt(int64_t offset, const void* buffer, int64_t length)
{
    if (length <= 0 || offset < 0)
        return 0;
    if (usingMemory_) {
        if (offset + length > kMaxMemoryStream)
            throw PagedFileError(msg::kWriteError);
        if (static_cast<int64_t>(memStream_->size()) < offset + length)
            memStream_->resize(static_cast<size_t>(offset + length));
        std::memcpy(memStream_->data() + offset, buffer, static_cast<size_t>(length));
        return length;
    }
    if (fd_ < 0)
        return 0;
    const auto* in = static_cast<const uint8_t*>(buffer);
    int64_t total = 0;
    while (total < length) {
        const ssize_t w = ::pwrite(fd_, in + total, static_cast<size_t>(length - total),
                                   static_cast<off_t>(offset + total));
        if (w < 0) {
            if (errno == EINTR)
                continue;
            throw PagedFileError(msg::kWriteError);
        }
        if (w == 0)
            break;
        total += w;
    }
    return total;
}

int64_t PagedFile::streamSize()
{
    if (usingMemory_)
        return static_cast<int64_t>(memStream_->size());
    if (fd_ < 0)
        return 0;
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        throw PagedFileError(msg::kReadError);
    return static_cast<int64_t>(st.st_size);
}

void PagedFile::setStreamSize(int64_t size)
{
    if (size < 0)
        size = 0;
    if (usingMemory_) {
        if (size > kMaxMemoryStream)
            throw PagedFileError(msg::kWriteError);
        memStream_->resize(static_cast<size_t>(size));
        return;
    }
    if (fd_ >= 0 && ::ftruncate(fd_, static_cast<off_t>(size)) != 0)
        throw PagedFileError(msg::kWriteError);
}

void PagedFile::setCachedSize(int64_t size)
{
    if (size != cachedSize_) {
        cachedSize_ = size;
        needRecalc_ = true;
    }
}

void PagedFile::growCachedSize(int64_t end)
{
    if (end > cachedSize_) {
        cachedSize_ = end;
        needRecalc_ = true;
    }
}

// --- Geometry -----------------------------------------------------------------

void PagedFile::setHeaderOffset(int32_t offset)
{
    if (offset != headerOffset_) {
        saveHeader();
        headerOffset_ = offset;
    }
}

void PagedFile::setHeaderSize(int32_t size)
{
    if (size < 0)
        size = 0;
    if (size != headerSize_) {
        saveHeader();
        headerSize_ = size;
        header_.assign(static_cast<size_t>(size), 0);
        needRecalc_ = true;
        loadHeader();
    }
}

void PagedFile::setRecordSize(int32_t size)
{
    if (size < 0)
        size = 0;
    if (size != recordSize_) {
        recordSize_ = size;
        pageSize_ = size;
        pagesPerRecord_ = pageSize_ > 0 ? recordSize_ / pageSize_ : 0;
        needRecalc_ = true;
        // The window's capacity is a whole number of records.
        if (active_ && bufferAhead_) {
            saveWindow();
            resetWindow();
        }
    }
}

void PagedFile::setPageSize(int32_t size)
{
    if (size < 0)
        size = 0;
    if (size != pageSize_) {
        pageSize_ = size;
        pagesPerRecord_ = pageSize_ > 0 ? recordSize_ / pageSize_ : 0;
        needRecalc_ = true;
        resetWindow();
    }
}

void PagedFile::setPageOffsetByHeader(bool byHeader)
{
    if (byHeader != pageOffsetByHeader_) {
        pageOffsetByHeader_ = byHeader;
        needRecalc_ = true;
    }
}

int64_t PagedFile::calcPageOffset(int32_t pageNo) const
{
    if (!pageOffsetByHeader_)
        return static_cast<int64_t>(pageNo) * pageSize_;
    if (pageNo == 0)
        return 0;
    return static_cast<int64_t>(headerOffset_) + headerSize_ +
           static_cast<int64_t>(pageNo - 1) * pageSize_;
}

int32_t PagedFile::recordCount()
{
    if (needLocks_ && active_) {
        const int64_t size = streamSize();
        if (size != cachedSize_) {
            cachedSize_ = size;
            needRecalc_ = true;
        }
    }
    if (needRecalc_) {
        int64_t count = 0;
        if (pageSize_ > 0 && active_) {
            if (pageOffsetByHeader_)
                count = (cachedSize_ - headerSize_ - headerOffset_) / pageSize_;
            else
                count = cachedSize_ / pageSize_;
        }
        count = std::clamp<int64_t>(count, 0, std::numeric_limits<int32_t>::max());
        recordCount_ = static_cast<int32_t>(count);
        needRecalc_ = false;
    }
    return recordCount_;
}

void PagedFile::setRecordCount(int32_t count)
{
    if (count < 0)
        count = 0;
    if (count == recordCount())
        return;
    saveWindow();
    const int64_t length = pageOffsetByHeader_
                               ? static_cast<int64_t>(headerOffset_) + headerSize_ +
                                     static_cast<int64_t>(pageSize_) * count
                               : static_cast<int64_t>(pageSize_) * count;
    setStreamSize(length);
    cachedSize_ = length;
    recordCount_ = count;
    needRecalc_ = false;
    // Records cut off must not be served from the window any more.
    bufferPage_ = -1;
    bufferOffset_ = -1;
    bufferSize_ = 0;
}

bool PagedFile::isRecordPresent(int32_t recNo)
{
    if (!needLocks_ || recNo > cachedRecordCount_)
        cachedRecordCount_ = recordCount();
    return recNo >= 0 && recNo <= cachedRecordCount_;
}

// --- Header -------------------------------------------------------------------

int32_t PagedFile::loadHeader()
{
    saveHeader();
    if (headerSize_ == 0)
        return 0;
    std::fill(header_.begin(), header_.end(), 0);
    if (!active_)
        return 0;
    const int64_t available = std::max<int64_t>(0, streamSize() - headerOffset_);
    const int64_t wanted = std::min<int64_t>(available, headerSize_);
    const int64_t got = readAt(headerOffset_, header_.data(), wanted);
    return static_cast<int32_t>(got);
}

void PagedFile::saveHeader()
{
    if (!headerModified_ || !active_ || headerSize_ == 0)
        return;
    const int64_t written = writeAt(headerOffset_, header_.data(), headerSize_);
    if (written == 0)
        writeError_ = true;
    growCachedSize(headerOffset_ + written);
    headerModified_ = false;
}

void PagedFile::writeHeader()
{
    headerModified_ = true;
    if (needLocks_)
        saveHeader();
}

// --- Read-ahead window ----------------------------------------------------------

void PagedFile::resetWindow()
{
    int32_t capacity = 0;
    if (bufferAhead_) {
        capacity = recordSize_ > 0 ? kWindowBytes - kWindowBytes % recordSize_ : kWindowBytes;
        if (capacity < recordSize_)
            capacity = recordSize_;
    }
    if (active_ && capacity > 0)
        window_.resize(static_cast<size_t>(capacity));
    else
        window_.clear();
    bufferMaxSize_ = capacity;
    bufferPage_ = -1;
    bufferOffset_ = -1;
    bufferSize_ = 0;
    bufferModified_ = false;
}

void PagedFile::setBufferAhead(bool on)
{
    if (on != bufferAhead_) {
        saveWindow();
        bufferAhead_ = on;
        resetWindow();
    }
}

void PagedFile::saveWindow()
{
    if (!bufferModified_ || !active_)
        return;
    if (bufferSize_ > 0) {
        const int64_t written = writeAt(bufferOffset_, window_.data(), bufferSize_);
        if (written == 0)
            writeError_ = true;
        growCachedSize(bufferOffset_ + written);
    }
    bufferModified_ = false;
}

void PagedFile::loadWindow(int32_t recNo)
{
    saveWindow();
    if (pageSize_ <= 0 || bufferMaxSize_ <= 0) {
        bufferSize_ = 0;
        bufferPage_ = -1;
        bufferOffset_ = -1;
        return;
    }
    // A walk forwards or backwards from the window reads a whole window; a
    // jump elsewhere reads the one record.
    const bool sequential =
        bufferPage_ < 0 || (static_cast<int64_t>(bufferPage_) - 1 <= recNo &&
                            recNo <= static_cast<int64_t>(bufferPage_) + bufferSize_ / pageSize_);
    int64_t readSize = sequential ? bufferMaxSize_ : recordSize_;
    int64_t page;
    if (bufferPage_ >= 0 && recNo < bufferPage_) {
        // Reading backwards: the window ends at the requested page.
        page = static_cast<int64_t>(recNo) + 1 - readSize / pageSize_;
        if (page < firstDataPage()) {
            readSize -= (firstDataPage() - page) * pageSize_;
            page = firstDataPage();
        }
    } else {
        page = recNo;
    }
    bufferPage_ = static_cast<int32_t>(page);
    bufferOffset_ = calcPageOffset(bufferPage_);
    if (bufferOffset_ + readSize > cachedSize_)
        readSize = cachedSize_ - bufferOffset_;
    readSize = std::clamp<int64_t>(readSize, 0, bufferMaxSize_);
    bufferReadSize_ = static_cast<int32_t>(readSize);
    if (readSize > 0) {
        bufferReadSize_ = static_cast<int32_t>(readAt(bufferOffset_, window_.data(), readSize));
        ++windowLoads_;
    }
    // Only what the file delivered counts as window data.
    bufferSize_ = bufferReadSize_;
}

const uint8_t* PagedFile::windowRecord(int32_t recNo)
{
    if (bufferPage_ >= 0 && recNo >= bufferPage_) {
        const int64_t d = static_cast<int64_t>(recNo - bufferPage_) * pageSize_;
        if (d + recordSize_ <= bufferSize_)
            return window_.data() + d;
    }
    loadWindow(recNo);
    if (bufferPage_ < 0 || recNo < bufferPage_)
        return nullptr;
    const int64_t d = static_cast<int64_t>(recNo - bufferPage_) * pageSize_;
    if (d + recordSize_ > bufferSize_)
        return nullptr;
    return window_.data() + d;
}

const uint8_t* PagedFile::directRecord(int32_t recNo)
{
    scratch_.resize(static_cast<size_t>(recordSize_));
    if (readAt(calcPageOffset(recNo), scratch_.data(), recordSize_) < recordSize_)
        return nullptr;
    return scratch_.data();
}

// --- Records --------------------------------------------------------------------

int32_t PagedFile::readRecord(int32_t recNo, void* buffer)
{
    if (!active_ || recNo < 0 || recordSize_ <= 0)
        return 0;
    if (!bufferAhead_ || bufferMaxSize_ <= 0 || recNo < firstDataPage())
        return static_cast<int32_t>(readAt(calcPageOffset(recNo), buffer, recordSize_));
    const uint8_t* record = windowRecord(recNo);
    if (!record)
        return 0;
    std::memcpy(buffer, record, static_cast<size_t>(recordSize_));
    return recordSize_;
}

const uint8_t* PagedFile::fetchRecordPtr(int32_t recNo)
{
    if (!active_ || recNo < 0 || recordSize_ <= 0)
        return nullptr;
    if (!bufferAhead_ || bufferMaxSize_ <= 0 || recNo < firstDataPage())
        return directRecord(recNo);
    return windowRecord(recNo);
}

void PagedFile::writeRecord(int32_t recNo, const void* buffer)
{
    if (!active_ || recNo < 0 || recordSize_ <= 0)
        return;
    if (!bufferAhead_ || bufferMaxSize_ <= 0 || recNo < firstDataPage()) {
        const int64_t offset = calcPageOffset(recNo);
        const int64_t written = writeAt(offset, buffer, recordSize_);
        if (written == 0)
            writeError_ = true;
        growCachedSize(offset + written);
        return;
    }
    int64_t end = (static_cast<int64_t>(recNo) - bufferPage_ + pagesPerRecord_) * pageSize_;
    if (bufferPage_ >= 0 && recNo >= bufferPage_ && end <= bufferMaxSize_ &&
        end <= static_cast<int64_t>(bufferSize_) + recordSize_) {
        // In the window's data or directly after it.
        if (end > bufferSize_)
            bufferSize_ = static_cast<int32_t>(end);
    } else {
        // The window moves to start at this record and holds it alone.
        saveWindow();
        bufferPage_ = recNo;
        bufferOffset_ = calcPageOffset(recNo);
        end = static_cast<int64_t>(pagesPerRecord_) * pageSize_;
        bufferSize_ = static_cast<int32_t>(end);
    }
    std::memcpy(window_.data() + end - recordSize_, buffer, static_cast<size_t>(recordSize_));
    bufferModified_ = true;
    growCachedSize(bufferOffset_ + end);
    if (needLocks_)
        resyncSharedFlushBuffer();
}

void PagedFile::invalidateWindow()
{
    saveWindow();
    bufferPage_ = -1;
    bufferOffset_ = -1;
    bufferSize_ = 0;
}

bool PagedFile::resyncSharedReadBuffer()
{
    if (!isSharedAccess() || fileLocked_)
        return false;
    // The next read fetches the window again, with others' changes.
    invalidateWindow();
    return true;
}

bool PagedFile::resyncSharedFlushBuffer()
{
    if (!isSharedAccess())
        return false;
    saveWindow();
    return true;
}

// --- Exclusive access -----------------------------------------------------------

void PagedFile::tryExclusive()
{
    if (tempMode_ != pfNone || !isSharedAccess())
        return;
    tempMode_ = mode_ == pfReadOnly ? pfReadOnly : pfReadWriteOpen;
    closeFile();
    mode_ = pfExclusiveOpen;
    try {
        openFile();
    } catch (const FileOpenError&) {
        // Somebody else has the file open: it stays shared.
        endExclusive();
    }
}

void PagedFile::endExclusive()
{
    if (tempMode_ == pfNone)
        return;
    closeFile();
    mode_ = tempMode_;
    tempMode_ = pfNone;
    openFile();
}

void PagedFile::checkExclusiveAccess() const
{
    if (isSharedAccess())
        throw TableError(msg::kNeedExclusiveAccess);
}

void PagedFile::disableForceCreate()
{
    if (mode_ == pfExclusiveCreate)
        mode_ = pfExclusiveOpen;
    else if (mode_ == pfReadWriteCreate)
        mode_ = pfReadWriteOpen;
}

// --- Locks --------------------------------------------------------------------------

bool PagedFile::fileLockRange(int64_t length, bool wait, int64_t offset, bool test)
{
    if (fd_ < 0)
        return usingMemory_;
    for (;;) {
        struct flock fl {};
        fl.l_type = writable_ ? F_WRLCK : F_RDLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = static_cast<off_t>(offset);
        fl.l_len = static_cast<off_t>(length);
        fl.l_pid = 0;
        int error;
        if (::fcntl(fd_, test ? F_OFD_GETLK : F_OFD_SETLK, &fl) == 0) {
            if (!test || fl.l_type == F_UNLCK)
                return true;
            error = EAGAIN;   // the test found a holder
        } else {
            error = errno;
            if (error == EINTR)
                continue;
        }
        if (!wait || !isLockViolation(error))
            return false;
        ::usleep(10000);
    }
}

bool PagedFile::lockRange(int64_t length, bool wait, int64_t offset)
{
    return fileLockRange(length, wait, offset, false);
}

bool PagedFile::unlockRange(int64_t length, int64_t offset)
{
    if (fd_ < 0)
        return true;
    struct flock fl {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    fl.l_pid = 0;
    return ::fcntl(fd_, F_OFD_SETLK, &fl) == 0;
}

bool PagedFile::lockPage(int32_t pageNo, bool wait)
{
    if (!needLocks_)
        return true;
    if (virtualLocks_)
        return lockRange(1, wait, static_cast<uint32_t>(kLockBase - static_cast<uint32_t>(pageNo)));
    if (recordSize_ <= 0)
        return false;
    return lockRange(recordSize_, wait, static_cast<uint32_t>(calcPageOffset(pageNo)));
}

void PagedFile::unlockPage(int32_t pageNo)
{
    if (!needLocks_)
        return;
    if (virtualLocks_)
        unlockRange(1, static_cast<uint32_t>(kLockBase - static_cast<uint32_t>(pageNo)));
    else if (recordSize_ > 0)
        unlockRange(recordSize_, static_cast<uint32_t>(calcPageOffset(pageNo)));
}

bool PagedFile::lockAllPages(bool wait)
{
    if (!needLocks_ || fileLocked_)
        return true;
    bool locked;
    if (virtualLocks_) {
        locked = lockRange(2, wait, kLockBase);
        // Nobody may hold a record lock. The probe only tests the range: a
        // byte-range lock taken and released over it would also release this
        // object's own record locks, which share its open file description.
        if (locked && !fileLockRange(kProbeLength, wait, kProbeOffset, true)) {
            unlockRange(2, kLockBase);
            locked = false;
        }
    } else {
        locked = lockRange(kWholeFileLength, wait, 0);
    }
    fileLocked_ = locked;
    return locked;
}

void PagedFile::unlockAllPages()
{
    if (!needLocks_ || !fileLocked_)
        return;
    const bool released =
        virtualLocks_ ? unlockRange(2, kLockBase) : unlockRange(kWholeFileLength, 0);
    if (released)
        fileLocked_ = false;
}

// --- Progress -----------------------------------------------------------------------

void PagedFile::doProgress(int position, int max, const std::string& message)
{
    if (!onProgress_)
        return;
    bool aborted = false;
    onProgress_(position, max, aborted, message);
    if (aborted)
        throw AbortError();
}

void PagedFile::checkedWriteAt(int64_t offset, const void* buffer, int64_t length)
{
    int64_t written = 0;
    try {
        written = writeAt(offset, buffer, length);
    } catch (...) {
        resetError();
        throw;
    }
    if (written != length) {
        resetError();
        throw PagedFileError(msg::kWriteError);
    }
}

} // namespace karto
