#include "export/xlsx/ZipWriter.h"

#include <algorithm>

#include <zlib.h>

#include "export/xlsx/ParallelDeflater.h"
#include "export/output/OutputStream.h"
#include "export/workbook/WorkbookErrors.h"

namespace karto {

namespace {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint64_t kMax32 = 0xFFFFFFFFu;

void put16(std::string& out, uint32_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

std::string lowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

uint32_t checked32(uint64_t value)
{
    if (value > kMax32)
        throw ZipException("The archive is too large for a zip file without ZIP64 extensions");
    return static_cast<uint32_t>(value);
}

} // namespace

ZipClock localZipClock()
{
    return [] {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return local;
    };
}

uint32_t dosDateTime(const std::tm& t)
{
    int year = t.tm_year + 1900;
    if (year < 1980)
        year = 1980;
    if (year > 2107)
        year = 2107;
    const uint32_t time = static_cast<uint32_t>(t.tm_hour * 2048 + t.tm_min * 32 + t.tm_sec / 2);
    const uint32_t date = static_cast<uint32_t>((year - 1980) * 512 + (t.tm_mon + 1) * 32 + t.tm_mday);
    return (date << 16) | (time & 0xFFFF);
}

ZipWriter::ZipWriter(ZipClock clock) : clock_(std::move(clock)) {}

ZipWriter::~ZipWriter() = default;

void ZipWriter::openStream(OutputStream& stream, ZipMode mode)
{
    if (mode != zmWrite)
        throw ZipException("Invalid argument");
    status_ = zsClosed;
    files_.clear();
    filesIndex_.clear();
    entryOpen_ = false;
    deflater_.reset();
    stream_ = &stream;
    startFileData_ = stream.position();
    endFileData_ = startFileData_;
    modified_ = false;
    status_ = zsWrite;
}

void ZipWriter::put(const void* data, std::size_t size)
{
    stream_->write(data, size);
}

void ZipWriter::writeLocalHeader(const ZipEntryHeader& h, bool withSignature)
{
    std::string out;
    if (withSignature)
        put32(out, kLocalSignature);
    put16(out, h.requiredVersion);
    put16(out, h.flag);
    put16(out, h.compressionMethod);
    put32(out, h.modifiedDateTime);  // time (low word), then date
    put32(out, h.crc32);
    put32(out, checked32(h.compressedSize));
    put32(out, checked32(h.uncompressedSize));
    put16(out, static_cast<uint32_t>(h.fileName.size()));
    put16(out, 0);
    out += h.fileName;
    put(out.data(), out.size());
}

void ZipWriter::prepareEntry(const std::string& name, ZipCompression compression)
{
    if (name.empty())
        throw ZipException("File name must not be empty");
    if (status_ != zsWrite)
        throw ZipException("File must be open for writing");
    if (entryOpen_)
        throw ZipException("Wrong state: the archive ist blocked for writing.");
    if (compression != zcStored && compression != zcDeflate)
        throw ZipException("Support for compression method not registered: " + std::to_string(compression));
    if (name.size() > 0xFFFF)
        throw ZipException("File name too long: " + name.substr(0, 64));

    ZipEntryHeader header;
    header.fileName = name;
    for (char& c : header.fileName)
        if (c == '\\')
            c = '/';
    header.compressionMethod = compression == zcDeflate ? 8 : 0;
    header.modifiedDateTime = dosDateTime(clock_());
    for (unsigned char c : header.fileName)
        if (c > 127) {
            header.flag = 0x0800;
            break;
        }

    // An entry of the same name is replaced: it leaves the directory.
    const std::string key = lowerAscii(header.fileName);
    auto existing = filesIndex_.find(key);
    if (existing != filesIndex_.end()) {
        files_.erase(files_.begin() + static_cast<std::ptrdiff_t>(existing->second));
        filesIndex_.clear();
        for (std::size_t i = 0; i < files_.size(); ++i)
            filesIndex_[lowerAscii(files_[i].fileName)] = i;
    }

    stream_->seek(endFileData_);
    header.localHeaderOffset = endFileData_;
    checked32(header.localHeaderOffset);
    writeLocalHeader(header, true);

    entry_ = std::move(header);
    entryCrc_ = 0;
    entryIn_ = 0;
    entryOut_ = 0;
    if (compression == zcDeflate)
        deflater_ = std::make_unique<ParallelDeflater>(
            [this](const char* data, std::size_t size) {
                put(data, size);
                entryOut_ += size;
            },
            deflateOptions_);
    else
        deflater_.reset();
    entryOpen_ = true;
}

void ZipWriter::beginEntry(const std::string& name, ZipCompression compression)
{
    prepareEntry(name, compression);
}

void ZipWriter::writeEntry(const void* data, std::size_t size)
{
    if (!entryOpen_)
        throw ZipException("Wrong state: you are not writing a file.");
    if (size == 0)
        return;
    addUncompressed(size);
    if (deflater_) {
        deflater_->write(data, size);
        return;
    }
    const auto* bytes = static_cast<const Bytef*>(data);
    std::size_t left = size;
    while (left > 0) {
        const std::size_t piece = left > (1u << 30) ? (1u << 30) : left;
        entryCrc_ = static_cast<uint32_t>(crc32(entryCrc_, bytes, static_cast<uInt>(piece)));
        bytes += piece;
        left -= piece;
    }
    put(data, size);
    entryOut_ += size;
}

// An entry past the 32-bit limits is refused as soon as its data passes
// them, before more of it is compressed.
void ZipWriter::addUncompressed(uint64_t size)
{
    checked32(entryIn_ + size);
    entryIn_ += size;
}

void ZipWriter::addDeflated(const DeflatedInput& data)
{
    entryCrc_ = static_cast<uint32_t>(crc32_combine(entryCrc_, data.crc, static_cast<z_off_t>(data.size)));
}

void ZipWriter::appendDeflated(std::FILE* source, uint64_t compressedSize, uint32_t crc,
                               uint64_t uncompressedSize)
{
    if (!entryOpen_)
        throw ZipException("Wrong state: you are not writing a file.");
    if (!deflater_)
        throw ZipException("Support for compression method not registered: 0");
    addUncompressed(uncompressedSize);
    addDeflated(deflater_->finishSegment());
    std::string block(1 << 16, '\0');
    uint64_t left = compressedSize;
    while (left > 0) {
        const std::size_t want = left < block.size() ? static_cast<std::size_t>(left) : block.size();
        const std::size_t got = std::fread(block.data(), 1, want, source);
        if (got != want)
            throw ZipException("Error reading temporary data");
        put(block.data(), got);
        entryOut_ += got;
        left -= got;
    }
    addDeflated(DeflatedInput{crc, uncompressedSize});
}

void ZipWriter::finishEntry()
{
    if (!entryOpen_)
        throw ZipException("Wrong state: you are not writing a file.");
    entryOpen_ = false;
    if (deflater_) {
        addDeflated(deflater_->finish());
        deflater_.reset();
    }
    entry_.crc32 = entryCrc_;
    entry_.compressedSize = entryOut_;
    entry_.uncompressedSize = entryIn_;
    endFileData_ = stream_->position();
    stream_->seek(entry_.localHeaderOffset + 4);
    writeLocalHeader(entry_, false);
    stream_->seek(endFileData_);
    filesIndex_[lowerAscii(entry_.fileName)] = files_.size();
    files_.push_back(entry_);
    modified_ = true;
}

uint64_t ZipWriter::entryUncompressedSize() const
{
    return entryOpen_ ? entryIn_ : 0;
}

void ZipWriter::addFromString(const std::string& name, std::string_view data, ZipCompression compression)
{
    prepareEntry(name, compression);
    // Blocks of 16 KB, as from a stream.
    for (std::size_t at = 0; at < data.size(); at += 16384)
        writeEntry(data.data() + at, std::min<std::size_t>(16384, data.size() - at));
    finishEntry();
}

void ZipWriter::addFromStream(const std::string& name, std::istream& source, ZipCompression compression)
{
    prepareEntry(name, compression);
    char block[16384];
    while (source) {
        source.read(block, sizeof block);
        const std::streamsize got = source.gcount();
        if (got <= 0)
            break;
        writeEntry(block, static_cast<std::size_t>(got));
    }
    finishEntry();
}

void ZipWriter::close()
{
    if (status_ == zsWrite && modified_) {
        if (entryOpen_)
            throw ZipException("Wrong state: the archive ist blocked for writing.");
        if (files_.size() > 0xFFFF)
            throw ZipException("The archive has too many entries for a zip file without ZIP64 extensions");
        stream_->seek(endFileData_);
        stream_->truncate();
        std::string out;
        for (const ZipEntryHeader& h : files_) {
            put32(out, kCentralSignature);
            put16(out, h.madeByVersion);
            put16(out, h.requiredVersion);
            put16(out, h.flag);
            put16(out, h.compressionMethod);
            put32(out, h.modifiedDateTime);
            put32(out, h.crc32);
            put32(out, checked32(h.compressedSize));
            put32(out, checked32(h.uncompressedSize));
            put16(out, static_cast<uint32_t>(h.fileName.size()));
            put16(out, 0);  // extra field
            put16(out, 0);  // comment
            put16(out, h.diskNumberStart);
            put16(out, h.internalAttributes);
            put32(out, h.externalAttributes);
            put32(out, checked32(h.localHeaderOffset));
            out += h.fileName;
        }
        const uint64_t directorySize = out.size();
        put32(out, kEndSignature);
        put16(out, 0);
        put16(out, 0);
        put16(out, static_cast<uint32_t>(files_.size()));
        put16(out, static_cast<uint32_t>(files_.size()));
        put32(out, checked32(directorySize));
        put32(out, checked32(endFileData_));
        put16(out, 0);
        put(out.data(), out.size());
    }
    files_.clear();
    filesIndex_.clear();
    deflater_.reset();
    entryOpen_ = false;
    stream_ = nullptr;
    status_ = zsClosed;
    modified_ = false;
}

} // namespace karto
