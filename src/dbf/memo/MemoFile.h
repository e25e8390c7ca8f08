#pragma once
// Memo files: the values of memo fields ("M", "B", "G") live outside the
// record, in a companion file of fixed-size blocks; the record holds the
// number of the value's first block. Block n starts at byte n x block size;
// block 0 is the file header.
//
//  - .dbt (dBase): block size at header offset 20 (dBase III: always 512);
//    dBase IV and later start a value with FF FF 08 00 and a 32-bit length
//    that counts those 8 bytes; dBase III values end with two 0x1A bytes
//    instead (a block without the FF FF 08 00 signature is read that way in
//    any version).
//    Which of the two a .dbt holds is decided at open from the table's
//    version byte (0x03/0x83: dBase III, unless the memo file's own header
//    shows the dBase IV layout) and never from the language byte.
//  - .fpt (FoxPro): big-endian header; block size at offset 6 (1 is
//    allowed); a value starts with a 32-bit type and a 32-bit length that
//    does not count the 8 header bytes.
//
// Reading never trusts the file: a block past the end, a length running past
// the end of the file, a block size of 0 or a terminator that never comes
// give an empty or shortened value, read only as far as the file goes.
// Writing refuses a file whose stored block size is below 16 (0 included):
// such a file is read with an assumed block size, never changed.

#include <cstdint>
#include <span>
#include <vector>

#include "dbf/field/FieldType.h"
#include "dbf/io/PagedFile.h"
#include "dbf/text/TranslateHook.h"

namespace karto {

class MemoFile : public PagedFile {
public:
    explicit MemoFile(XBaseVersion version = xBaseIII);
    ~MemoFile() override;

    XBaseVersion dbfVersion() const { return dbfVersion_; }
    void setDbfVersion(XBaseVersion version) { dbfVersion_ = version; }
    // Block size for a file created by open(); 0 when an existing file is opened.
    int32_t memoRecordSize() const { return memoRecordSize_; }
    void setMemoRecordSize(int32_t size) { memoRecordSize_ = size; }
    // The owning table's version byte (header byte 0), set before open();
    // without it the framing follows dbfVersion().
    void setTableVersionByte(uint8_t versionByte) { tableVersionByte_ = versionByte; hasVersionByte_ = true; }
    // dBase III values: no block header, two 0x1A bytes after the data.
    bool unframedValues() const { return unframed_; }

    // Opens the file (in mode(), see PagedFile) and establishes the block
    // size; nothing when already open.
    virtual void open();
    // Closes the file (writing a modified header); nothing when not open.
    virtual void close();
    bool opened() const { return opened_; }
    // The block size in use (0: every value reads as empty).
    int32_t blockSize() const { return recordSize(); }

    // Replaces dest with the value whose first block is blockNo; empty for a
    // block number <= 0, a block size of 0 or a block past the end of the file.
    void readMemo(int32_t blockNo, std::vector<uint8_t>& dest);

    // Stores source, reusing the blocks at blockNo when the old value
    // (readSize bytes, 0 when unknown) had at least as many blocks, else
    // appending after the last block in use: the larger of the header's first
    // free block (read again from the file under the lock) and the end of the
    // file. On return blockNo is the first block used, 0 for an empty source
    // (nothing is written then). Appending locks block 0 of a shared file,
    // waiting until it is granted, and releases it on every way out. Every
    // write is checked: a failed one raises PagedFileError "Error while
    // writing occurred. (Disk full?)" (the write error state is cleared).
    void writeMemo(int32_t& blockNo, int32_t readSize, std::span<const uint8_t> source);
    // Whether writeMemo can store a non-empty value (the file exists, is open
    // and keeps a block size of at least 16); the message it would refuse
    // with otherwise.
    bool canWriteValues(const char** refusal = nullptr) const;

    void flush() override;

protected:
    // The format's view of the header and of a value's first bytes.
    virtual int32_t headerBlockSize() const = 0;
    // The block size as the header stores it (0 when it stores none).
    virtual int32_t storedBlockSize() const { return headerBlockSize(); }
    // Whether values are dBase III values (decided once the header is read).
    virtual bool decideUnframed() const { return dbfVersion_ < xBaseIV; }
    // Length of the value whose first 8 bytes are given, or -1 when the block
    // carries no length header (a terminated dBase III value).
    virtual int64_t blockDataLength(const uint8_t* first8) const = 0;
    // The 8-byte header written before a value of `length` bytes (dBase IV
    // and later, FoxPro).
    virtual void valueHeader(uint8_t* head8, uint32_t length) const = 0;
    virtual int32_t firstFreeBlock() const = 0;
    virtual void setFirstFreeBlock(int32_t block) = 0;
    virtual void setHeaderBlockSize(int32_t size) = 0;

    // Header fields of 2 or 4 bytes, read and written only inside the header
    // copy (a field outside it reads as 0 and is not written).
    uint32_t headerLE(int offset, int bytes) const;
    uint32_t headerBE(int offset, int bytes) const;
    void putHeaderLE(int offset, int bytes, uint32_t value);
    void putHeaderBE(int offset, int bytes, uint32_t value);

    bool opened_ = false;
    bool unframed_ = false;
    uint8_t tableVersionByte_ = 0;
    bool hasVersionByte_ = false;

private:
    // Whether the header copy holds the field's bytes.
    bool headerHolds(int offset, int bytes) const;
    void readTerminated(int64_t start, int64_t fileSize, std::vector<uint8_t>& dest);

    XBaseVersion dbfVersion_;
    int32_t memoRecordSize_ = 0;
    std::vector<uint8_t> buffer_;   // one block + 2 zero bytes
};

// The .dbt memo file of the dBase family.
class DbaseMemoFile : public MemoFile {
public:
    using MemoFile::MemoFile;

protected:
    int32_t headerBlockSize() const override;
    int32_t storedBlockSize() const override;
    bool decideUnframed() const override;
    int64_t blockDataLength(const uint8_t* first8) const override;
    void valueHeader(uint8_t* head8, uint32_t length) const override;
    int32_t firstFreeBlock() const override;
    void setFirstFreeBlock(int32_t block) override;
    void setHeaderBlockSize(int32_t size) override;
};

// The .fpt memo file of FoxPro.
class FoxProMemoFile : public MemoFile {
public:
    using MemoFile::MemoFile;

protected:
    int32_t headerBlockSize() const override;
    bool decideUnframed() const override { return false; }
    int64_t blockDataLength(const uint8_t* first8) const override;
    void valueHeader(uint8_t* head8, uint32_t length) const override;
    int32_t firstFreeBlock() const override;
    void setFirstFreeBlock(int32_t block) override;
    void setHeaderBlockSize(int32_t size) override;
};

// Stands in for a memo file that does not exist: opening touches no file,
// every value reads as empty, and writing a non-empty value fails with
// TableError "Cannot write memo: the memo file is missing.".
class NullMemoFile : public MemoFile {
public:
    using MemoFile::MemoFile;
    void open() override;

protected:
    int32_t headerBlockSize() const override { return 0; }
    int64_t blockDataLength(const uint8_t*) const override { return 0; }
    void valueHeader(uint8_t*, uint32_t) const override {}
    int32_t firstFreeBlock() const override { return 0; }
    void setFirstFreeBlock(int32_t) override {}
    void setHeaderBlockSize(int32_t) override {}
};

// Passes memo text through the translate hook in place, in consecutive chunks
// of at most 512 bytes, each NUL-terminated for the call (the byte after the
// chunk is saved, set to 0 and restored). The length never changes.
void translateMemoText(std::vector<uint8_t>& text, TranslateHook& hook, bool toOem);

} // namespace karto
