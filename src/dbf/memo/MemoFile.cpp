#include "dbf/memo/MemoFile.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "dbf/Error.h"
#include "dbf/Messages.h"
#include "dbf/io/ByteOrder.h"

namespace karto {

namespace {

// Opening reads the first 512 bytes of the file as the header.
constexpr int32_t kHeaderBytes = 512;
// Afterwards the header copy spans block 0, but never less than the header
// fields of either format reach (the block size at offset 20 of a .dbt), so
// that they stay inside the copy with blocks of a few bytes (FoxPro allows 1).
constexpr int32_t kMinHeaderCopy = 22;

constexpr uint8_t kTerminator = 0x1A;
// How far past the end of the file a header's first free block is believed.
constexpr int64_t kMaxFreeBlockGap = 1 << 20;

} // namespace

MemoFile::MemoFile(XBaseVersion version) : dbfVersion_(version) {}

MemoFile::~MemoFile()
{
    try {
        close();
    } catch (...) {
        // A destructor must not throw; the file is closed by PagedFile.
    }
}

bool MemoFile::headerHolds(int offset, int bytes) const
{
    return header() && offset >= 0 && offset + bytes <= headerSize();
}

uint32_t MemoFile::headerLE(int offset, int bytes) const
{
    if (!headerHolds(offset, bytes))
        return 0;
    return bytes == 2 ? loadLE16(header() + offset) : loadLE32(header() + offset);
}

uint32_t MemoFile::headerBE(int offset, int bytes) const
{
    if (!headerHolds(offset, bytes))
        return 0;
    return bytes == 2 ? loadBE16(header() + offset) : loadBE32(header() + offset);
}

void MemoFile::putHeaderLE(int offset, int bytes, uint32_t value)
{
    if (!headerHolds(offset, bytes))
        return;
    if (bytes == 2)
        storeLE16(header() + offset, static_cast<uint16_t>(value));
    else
        storeLE32(header() + offset, value);
}

void MemoFile::putHeaderBE(int offset, int bytes, uint32_t value)
{
    if (!headerHolds(offset, bytes))
        return;
    if (bytes == 2)
        storeBE16(header() + offset, static_cast<uint16_t>(value));
    else
        storeBE32(header() + offset, value);
}

void MemoFile::open()
{
    if (opened_)
        return;
    setPageOffsetByHeader(false);
    openFile();
    setHeaderSize(kHeaderBytes);
    unframed_ = decideUnframed();
    if (unframed_) {
        if (uint8_t* h = header())
            h[16] = 3;
    }
    setVirtualLocks(false);
    if (fileCreated()) {
        const int32_t first = (memoRecordSize_ <= 0 || memoRecordSize_ > kHeaderBytes)
                                  ? 1
                                  : kHeaderBytes / memoRecordSize_;
        setFirstFreeBlock(first);
        setHeaderBlockSize(memoRecordSize_);
        writeHeader();
    }
    int32_t size = headerBlockSize();
    if (size == 0 && dbfVersion_ == xFoxPro) {
        // FoxPro's default block size, for reading: a file that stores no
        // block size is never written to (writeMemo refuses it).
        size = 512;
    }
    setRecordSize(size);
    setHeaderSize(std::max(size, kMinHeaderCopy));
    buffer_.assign(static_cast<size_t>(size) + 2, 0);
    opened_ = true;
}

void MemoFile::close()
{
    if (!opened_)
        return;
    opened_ = false;
    buffer_.clear();
    buffer_.shrink_to_fit();
    closeFile();
}

void MemoFile::flush()
{
    if (active() && !readOnlyStream())
        saveHeader();
}

void MemoFile::readMemo(int32_t blockNo, std::vector<uint8_t>& dest)
{
    dest.clear();
    const int32_t bs = blockSize();
    if (!opened_ || blockNo <= 0 || bs <= 0)
        return;
    const int64_t start = static_cast<int64_t>(blockNo) * bs;
    const int64_t fileSize = streamSize();
    if (start >= fileSize)
        return;

    // The first 8 bytes tell whether the value carries a length.
    uint8_t first8[8] = {};
    const int64_t got = readAt(start, first8, 8);
    if (got <= 0)
        return;
    const int64_t length = got == 8 ? blockDataLength(first8) : -1;
    if (length < 0) {
        readTerminated(start, fileSize, dest);
        return;
    }
    // The value's bytes follow its 8-byte header through consecutive blocks:
    // one run of bytes, read only as far as the file goes.
    const int64_t available = std::max<int64_t>(0, fileSize - (start + 8));
    const int64_t wanted = std::min(length, available);
    if (wanted <= 0)
        return;
    dest.resize(static_cast<size_t>(wanted));
    const int64_t n = readAt(start + 8, dest.data(), wanted);
    dest.resize(static_cast<size_t>(std::max<int64_t>(0, n)));
}

void MemoFile::readTerminated(int64_t start, int64_t fileSize, std::vector<uint8_t>& dest)
{
    const int32_t bs = blockSize();
    uint8_t* buf = buffer_.data();
    int64_t pos = start;
    int lastByte = -1;
    // Each pass moves on by a block and a read past the end delivers
    // nothing: the loop ends at the end of the file at the latest.
    while (pos < fileSize) {
        const int64_t n = readAt(pos, buf, bs);
        if (n <= 0)
            break;
        std::memset(buf + n, 0, static_cast<size_t>(bs + 2 - n));
        if (lastByte == kTerminator && (buf[0] == kTerminator || buf[0] == 0)) {
            // The terminator straddles the block boundary.
            dest.pop_back();
            return;
        }
        // Only the first 0x1A of a block is looked at; the zero bytes after
        // the block make one in its last byte a terminator.
        const auto* mark = static_cast<const uint8_t*>(std::memchr(buf, kTerminator, static_cast<size_t>(n)));
        if (mark && (mark[1] == kTerminator || mark[1] == 0)) {
            dest.insert(dest.end(), static_cast<const uint8_t*>(buf), mark);
            return;
        }
        dest.insert(dest.end(), buf, buf + n);
        lastByte = buf[n - 1];
        if (n < bs)
            break;   // a short block is the end of the file
        pos += bs;
    }
}

void MemoFile::writeMemo(int32_t& blockNo, int32_t readSize, std::span<const uint8_t> source)
{
    if (source.empty()) {
        blockNo = 0;
        return;
    }
    const char* refusal = nullptr;
    if (!canWriteValues(&refusal))
        throw TableError(refusal);
    const int32_t bs = blockSize();

    const bool withHeader = !unframed_;
    const int64_t headerBytes = withHeader ? 8 : 0;
    const int64_t trailerBytes = withHeader ? 0 : 2;
    const auto length = static_cast<int64_t>(source.size());
    if (withHeader && length > std::numeric_limits<uint32_t>::max() - 8)
        throw PagedFileError(msg::kWriteError);
    const int64_t total = headerBytes + length + trailerBytes;
    const int64_t needed = (total + bs - 1) / bs;
    const int64_t oldBlocks = readSize > 0 ? (static_cast<int64_t>(readSize) + bs - 1) / bs : 0;

    // Blocks inside the header area are never overwritten.
    const int64_t headerBlocks = (static_cast<int64_t>(headerSize()) + bs - 1) / bs;
    const bool append = oldBlocks < needed || blockNo < headerBlocks;

    struct AppendLock {
        MemoFile& file;
        bool held = false;
        ~AppendLock()
        {
            if (held)
                file.unlockPage(0);
        }
    } lock{*this};

    int64_t first = blockNo;
    if (append) {
        lock.held = lockPage(0, true);
        // Another program sharing the file may have appended since this
        // header copy was read: read it again under the lock. The value goes
        // after everything in use: the end of the file's data (rounded up to
        // a whole block), or the header's first free block when that lies
        // further (a first free block inside the data would overwrite other
        // values).
        loadHeader();
        if (unframed_ && header() && headerSize() > 16)
            header()[16] = 3;
        const int64_t endBlock = std::max((streamSize() + bs - 1) / bs, headerBlocks);
        // A first free block more than a megabyte past the end is a broken
        // header, not another program's value: it would leave a hole.
        const int64_t headerFree = firstFreeBlock();
        first = headerFree > endBlock && (headerFree - endBlock) * bs <= kMaxFreeBlockGap ? headerFree : endBlock;
        if (first + needed > std::numeric_limits<int32_t>::max())
            throw PagedFileError(msg::kWriteError);
    }

    // Header, data, trailer, then blanks to the end of the last block.
    const int64_t at = first * bs;
    uint8_t head[8];
    if (withHeader) {
        valueHeader(head, static_cast<uint32_t>(length));
        checkedWriteAt(at, head, 8);
    }
    checkedWriteAt(at + headerBytes, source.data(), length);
    const int64_t tailLength = needed * bs - headerBytes - length;
    std::vector<uint8_t> tail(static_cast<size_t>(tailLength), ' ');
    for (int64_t i = 0; i < trailerBytes && i < tailLength; ++i)
        tail[static_cast<size_t>(i)] = kTerminator;
    if (tailLength > 0)
        checkedWriteAt(at + headerBytes + length, tail.data(), tailLength);

    if (append) {
        setFirstFreeBlock(static_cast<int32_t>(first + needed));
        writeHeader();
        saveHeader();
        if (writeError()) {
            resetError();
            throw PagedFileError(msg::kWriteError);
        }
    }
    blockNo = static_cast<int32_t>(first);
}

bool MemoFile::canWriteValues(const char** refusal) const
{
    const char* why = nullptr;
    const int32_t bs = blockSize();
    if (!opened_ || !active() || bs <= 0)
        why = msg::kMemoFileMissing;
    else if (bs < 16 || (!unframed_ && storedBlockSize() < 16))
        why = msg::kMemoBlockTooSmall;
    if (refusal)
        *refusal = why;
    return why == nullptr;
}

// --- .dbt ------------------------------------------------------------------------

int32_t DbaseMemoFile::storedBlockSize() const
{
    return static_cast<int32_t>(headerLE(20, 2));
}

// dBase III tables (version byte 0x03, 0x83) keep dBase III values unless the
// memo file's header shows the dBase IV layout (a block size, a multiple of
// 512, at offset 20 and no version 3 at offset 16); every later version byte
// means dBase IV values. Without the version byte, the table's version decides.
bool DbaseMemoFile::decideUnframed() const
{
    if (!hasVersionByte_)
        return dbfVersion() < xBaseIV;
    const bool dbase3Table = (tableVersionByte_ & 0x0F) == 0x03;
    if (!dbase3Table)
        return false;
    // dBase IV writes its block size there, a multiple of 512; dBase III and
    // Clipper leave the bytes as they happen to be.
    const uint32_t stored = headerLE(20, 2);
    const bool dbase4Header = stored != 0 && stored % 512 == 0 && !(header() && headerSize() > 16 && header()[16] == 3);
    return !dbase4Header;
}

int32_t DbaseMemoFile::headerBlockSize() const
{
    if (unframed_)
        return 512;
    // A .dbt without a block size is laid out as dBase III lays it out, in
    // 512-byte blocks: tables with a language byte (so not taken for dBase
    // III) often come with such a memo file, and reading its values with a
    // block size of 0 would show every one of them empty.
    const auto stored = static_cast<int32_t>(headerLE(20, 2));
    return stored == 0 ? 512 : stored;
}

int64_t DbaseMemoFile::blockDataLength(const uint8_t* first8) const
{
    if (first8[0] != 0xFF || first8[1] != 0xFF || first8[2] != 0x08 || first8[3] != 0x00)
        return -1;
    const int64_t stored = loadLE32(first8 + 4);
    // The stored length counts the 8 header bytes; less than that is nothing.
    return std::max<int64_t>(0, stored - 8);
}

void DbaseMemoFile::valueHeader(uint8_t* head8, uint32_t length) const
{
    const uint32_t stored = length + 8;
    head8[0] = 0xFF;
    head8[1] = 0xFF;
    head8[2] = 0x08;
    head8[3] = 0x00;
    storeLE32(head8 + 4, stored);
}

int32_t DbaseMemoFile::firstFreeBlock() const
{
    return static_cast<int32_t>(headerLE(0, 4));
}

void DbaseMemoFile::setFirstFreeBlock(int32_t block)
{
    putHeaderLE(0, 4, static_cast<uint32_t>(block));
}

void DbaseMemoFile::setHeaderBlockSize(int32_t size)
{
    putHeaderLE(20, 2, static_cast<uint32_t>(size));
}

// --- .fpt ------------------------------------------------------------------------

int32_t FoxProMemoFile::headerBlockSize() const
{
    return static_cast<int32_t>(headerBE(6, 2));
}

int64_t FoxProMemoFile::blockDataLength(const uint8_t* first8) const
{
    const uint32_t stored = loadBE32(first8 + 4);
    // A negative length (as a signed 32-bit number) is no value.
    return stored > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()) ? 0 : static_cast<int64_t>(stored);
}

void FoxProMemoFile::valueHeader(uint8_t* head8, uint32_t length) const
{
    // Type 1 (text), then the length of the data alone; both big-endian.
    storeBE32(head8, 1);
    storeBE32(head8 + 4, length);
}

int32_t FoxProMemoFile::firstFreeBlock() const
{
    return static_cast<int32_t>(headerBE(0, 4));
}

void FoxProMemoFile::setFirstFreeBlock(int32_t block)
{
    putHeaderBE(0, 4, static_cast<uint32_t>(block));
}

void FoxProMemoFile::setHeaderBlockSize(int32_t size)
{
    putHeaderBE(6, 2, static_cast<uint32_t>(size));
}

// --- missing file ------------------------------------------------------------------

void NullMemoFile::open()
{
    opened_ = true;
}

// --- translation -------------------------------------------------------------------

void translateMemoText(std::vector<uint8_t>& text, TranslateHook& hook, bool toOem)
{
    if (text.empty())
        return;
    const size_t n = text.size();
    text.push_back(0);
    for (size_t pos = 0; pos < n; pos += 512) {
        const size_t len = std::min<size_t>(512, n - pos);
        const uint8_t saved = text[pos + len];
        text[pos + len] = 0;
        hook.translate(text.data() + pos, text.data() + pos, toOem);
        text[pos + len] = saved;
    }
    text.pop_back();
}

} // namespace karto
