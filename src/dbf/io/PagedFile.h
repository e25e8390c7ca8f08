#pragma once
// The record-oriented file under every file of the table engine: a header of
// fixed size at a fixed offset, then a run of equal-sized records ("pages").
//
// Page numbers and record numbers are the same thing here. With
// pageOffsetByHeader() (the default) page 0 is the header and the first record
// is page 1.
//
// Reads and writes go through positioned system calls (pread/pwrite); an
// optional read-ahead window of at most 64 KiB serves sequential walks in both
// directions with one system call per window. recordPtr() hands out a pointer
// into that window, so a walk copies nothing.
//
// Sharing between processes (and between two opens in one process):
//  - shared modes take a shared flock() on the file, exclusive modes an
//    exclusive one, so an exclusive open fails while anybody else has the file
//    open and vice versa;
//  - record and whole-file locks are open-file-description byte-range locks
//    (F_OFD_SETLK), by default on "virtual" offsets just below 0xF0000000
//    where no table data lies. They belong to this object's descriptor: closing
//    another descriptor of the same file keeps them, and a second object on
//    the same file contends with them exactly like another process. A file
//    opened read-only takes read locks (a read-only descriptor cannot hold
//    write locks); they still exclude every write lock of a writer.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace karto {

enum PagedFileMode : int {
    pfNone = 0,            // file, read-only, others may read and write; not shared
    pfMemoryCreate = 1,    // memory stream, emptied at open
    pfMemoryOpen = 2,      // memory stream as given
    pfExclusiveCreate = 3, // file, read-write, no sharing, created/truncated at open
    pfExclusiveOpen = 4,   // file, read-write, no sharing
    pfReadWriteCreate = 5, // file, read-write, shared, created/truncated at open
    pfReadWriteOpen = 6,   // file, read-write, shared
    pfReadOnly = 7,        // file, read-only, shared
};

// Whether a mode creates (empties) its file at open.
bool modeCreatesFile(PagedFileMode mode);
// Whether a mode shares its file with other processes (and so takes locks).
bool modeIsShared(PagedFileMode mode);

// Progress of a long operation; setting aborted ends it silently (AbortError).
using ProgressHandler =
    std::function<void(int position, int max, bool& aborted, const std::string& message)>;

class PagedFile {
public:
    // Capacity of the read-ahead window before rounding down to whole records.
    static constexpr int32_t kWindowBytes = 65536;

    PagedFile();
    virtual ~PagedFile();
    PagedFile(const PagedFile&) = delete;
    PagedFile& operator=(const PagedFile&) = delete;

    // --- Opening and closing ---------------------------------------------
    // Opens the file (or memory stream) in mode(); nothing when already open.
    // Missing file: PagedFileError "Open: file not found"; refused open (in use
    // elsewhere, no rights): FileOpenError "Cannot open file".
    virtual void openFile();
    // Writes back a modified header and window and closes; mode() returns to
    // the mode asked for at the last open.
    virtual void closeFile();
    // Deletes the file from disk when it is not open; the result is ignored.
    void deleteFile();

    bool active() const { return active_; }
    const std::string& fileName() const { return fileName_; }
    void setFileName(const std::string& name);
    // The stream of the memory modes (not owned); takes effect while closed.
    std::vector<uint8_t>* stream() const { return memStream_; }
    void setStream(std::vector<uint8_t>* stream);

    PagedFileMode mode() const { return mode_; }
    void setMode(PagedFileMode mode) { mode_ = mode; }
    PagedFileMode tempMode() const { return tempMode_; }
    bool autoCreate() const { return autoCreate_; }
    void setAutoCreate(bool autoCreate) { autoCreate_ = autoCreate; }
    bool needLocks() const { return needLocks_; }
    bool virtualLocks() const { return virtualLocks_; }
    void setVirtualLocks(bool virtualLocks) { virtualLocks_ = virtualLocks; }

    bool fileCreated() const { return modeCreatesFile(mode_); }
    bool isSharedAccess() const { return modeIsShared(mode_); }

    // --- Geometry -------------------------------------------------------------
    int32_t headerOffset() const { return headerOffset_; }
    virtual void setHeaderOffset(int32_t offset);
    int32_t headerSize() const { return headerSize_; }
    // Replaces the header copy by one of the new size and reads it from the file.
    virtual void setHeaderSize(int32_t size);
    int32_t recordSize() const { return recordSize_; }
    virtual void setRecordSize(int32_t size);
    int32_t pageSize() const { return pageSize_; }
    void setPageSize(int32_t size);
    int32_t pagesPerRecord() const { return pagesPerRecord_; }
    bool pageOffsetByHeader() const { return pageOffsetByHeader_; }
    virtual void setPageOffsetByHeader(bool byHeader);

    // Byte offset of a page (64-bit).
    int64_t calcPageOffset(int32_t pageNo) const;

    // Records in the file, from its size (a shared file asks for the size each
    // time). Setting it sets the file length.
    int32_t recordCount();
    void setRecordCount(int32_t count);
    int32_t cachedRecordCount() const { return cachedRecordCount_; }
    // The file size as last seen.
    int64_t cachedSize() const { return cachedSize_; }
    // Whether a record (or page 0) is in the file.
    bool isRecordPresent(int32_t recNo);

    // --- Header copy ---------------------------------------------------------
    uint8_t* header() { return header_.empty() ? nullptr : header_.data(); }
    const uint8_t* header() const { return header_.empty() ? nullptr : header_.data(); }
    // Reads the header copy from the file; returns the bytes found there (the
    // rest of the copy is zero).
    int32_t loadHeader();
    // Writes a modified header copy back.
    void saveHeader();
    // Marks the header copy modified; a shared file writes it at once.
    virtual void writeHeader();
    bool headerModified() const { return headerModified_; }

    // --- Records ---------------------------------------------------------------
    // Reads one record into buffer (recordSize() bytes); returns the bytes
    // delivered (recordSize(), or 0 when the record is not in the file; without
    // read-ahead a record cut short by the end of the file gives fewer).
    virtual int32_t readRecord(int32_t recNo, void* buffer);
    // The whole record, in the read-ahead window (or, without read-ahead, in a
    // buffer of this object); nullptr when it is not in the file. Valid until
    // the next read or write of this object.
    const uint8_t* recordPtr(int32_t recNo)
    {
        // A record already in the window costs a bounds check.
        if (bufferPage_ >= 0 && recNo >= bufferPage_ && recordSize_ > 0) {
            const int64_t d = static_cast<int64_t>(recNo - bufferPage_) * pageSize_;
            if (d + recordSize_ <= bufferSize_)
                return window_.data() + d;
        }
        return fetchRecordPtr(recNo);
    }
    virtual void writeRecord(int32_t recNo, const void* buffer);

    bool bufferAhead() const { return bufferAhead_; }
    // Switches read-ahead/write-behind; a modified window is written first.
    void setBufferAhead(bool on);
    // Capacity of the read-ahead window in bytes (0 with read-ahead off).
    int32_t bufferMaxSize() const { return bufferMaxSize_; }
    // First page in the window, -1 when empty; bytes of file data in it.
    int32_t bufferPage() const { return bufferPage_; }
    int32_t bufferSize() const { return bufferSize_; }
    // Number of window reads from the file since open (for tests and tuning).
    int64_t windowLoads() const { return windowLoads_; }
    // Writes out a modified window.
    void saveWindow();
    // Writes out a modified window and forgets its content: the next read
    // fetches the records from the file again (others' changes included).
    void invalidateWindow();

    // Positioned raw access (memo and index files read blocks with these).
    // readAt returns the bytes delivered (fewer at the end of the file);
    // writeAt the bytes written. System call failures raise PagedFileError.
    int64_t readAt(int64_t offset, void* buffer, int64_t length);
    int64_t writeAt(int64_t offset, const void* buffer, int64_t length);
    // writeAt that transfers the whole length or raises "Error while writing
    // occurred. (Disk full?)"; the write-error state is cleared either way.
    void checkedWriteAt(int64_t offset, const void* buffer, int64_t length);
    // The stream's size as the system sees it now.
    int64_t streamSize();

    bool writeError() const { return writeError_; }
    virtual void resetError() { writeError_ = false; }
    // Writes pending data out (the window and the header in derived classes).
    virtual void flush() {}

    // --- Exclusive access on demand --------------------------------------------
    // Re-opens a shared file exclusively; when another process has it open,
    // the file stays open in its shared mode (test isSharedAccess()).
    virtual void tryExclusive();
    virtual void endExclusive();
    // TableError "Exclusive access is required for this operation." when shared.
    void checkExclusiveAccess() const;
    // Creating modes become their opening modes (a re-open must not truncate).
    void disableForceCreate();

    // --- Locks ----------------------------------------------------------------
    bool lockPage(int32_t pageNo, bool wait);
    void unlockPage(int32_t pageNo);
    // The whole-file lock; fails (holding nothing) while another holder has a
    // record lock.
    bool lockAllPages(bool wait);
    void unlockAllPages();
    bool fileLocked() const { return fileLocked_; }

    // Shared file not wholly locked: re-reads the window (others' changes).
    bool resyncSharedReadBuffer();
    // Shared file: writes out a modified window at once.
    bool resyncSharedFlushBuffer();

    // --- Progress -------------------------------------------------------------
    const ProgressHandler& onProgress() const { return onProgress_; }
    void setOnProgress(ProgressHandler handler) { onProgress_ = std::move(handler); }
    void doProgress(int position, int max, const std::string& message);

protected:
    // Exclusive byte-range lock; with wait, retries every 10 ms while another
    // holder has the range. Returns whether the range is locked.
    virtual bool lockRange(int64_t length, bool wait, int64_t offset);
    virtual bool unlockRange(int64_t length, int64_t offset);

    // The first data page: 1 when pages start after the header, else 0.
    int32_t firstDataPage() const { return pageOffsetByHeader_ ? 1 : 0; }
    // Sets the file length (cut or extend).
    void setStreamSize(int64_t size);
    // Excludes a trailing end mark from the known size.
    void setCachedSize(int64_t size);
    // Whether the stream is a read-only file.
    bool readOnlyStream() const { return fd_ >= 0 && !writable_; }

private:
    void resetWindow();
    // Refills the window for a record.
    void loadWindow(int32_t recNo);
    // The record in the window (refilled when needed), or nullptr.
    const uint8_t* windowRecord(int32_t recNo);
    // recordPtr() for a record not in the window.
    const uint8_t* fetchRecordPtr(int32_t recNo);
    // The record read straight from the file into scratch_, or nullptr.
    const uint8_t* directRecord(int32_t recNo);
    void growCachedSize(int64_t end);
    bool fileLockRange(int64_t length, bool wait, int64_t offset, bool test);

    int fd_ = -1;
    bool writable_ = false;
    std::vector<uint8_t>* memStream_ = nullptr;
    std::unique_ptr<std::vector<uint8_t>> ownedMemStream_;
    bool usingMemory_ = false;

    int32_t headerOffset_ = 0;
    int32_t headerSize_ = 0;
    int32_t recordSize_ = 0;
    int32_t pageSize_ = 0;
    int32_t recordCount_ = 0;
    int32_t pagesPerRecord_ = 0;
    int64_t cachedSize_ = 0;
    int32_t cachedRecordCount_ = 0;
    std::vector<uint8_t> header_;
    bool active_ = false;
    bool needRecalc_ = false;
    bool headerModified_ = false;
    bool pageOffsetByHeader_ = true;
    PagedFileMode mode_ = pfReadOnly;
    PagedFileMode tempMode_ = pfNone;
    PagedFileMode userMode_ = pfNone;
    bool autoCreate_ = false;
    bool needLocks_ = false;
    bool virtualLocks_ = true;
    bool fileLocked_ = false;
    std::string fileName_;

    std::vector<uint8_t> window_;
    std::vector<uint8_t> scratch_;   // one record, for recordPtr() without read-ahead
    bool bufferAhead_ = false;
    int32_t bufferPage_ = -1;
    int64_t bufferOffset_ = 0;
    int32_t bufferSize_ = 0;
    int32_t bufferReadSize_ = 0;
    int32_t bufferMaxSize_ = 0;
    bool bufferModified_ = false;
    int64_t windowLoads_ = 0;

    bool writeError_ = false;
    ProgressHandler onProgress_;
};

} // namespace karto
