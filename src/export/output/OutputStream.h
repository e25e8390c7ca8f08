#pragma once
// A seekable output stream of bytes, as the spreadsheet writers write their
// files into: the ZIP writer rewrites each local header after its data.

#include <cstddef>
#include <cstdint>
#include <string>

namespace karto {

class OutputStream {
public:
    virtual ~OutputStream() = default;
    // Writes all bytes at the current position (raises on failure).
    virtual void write(const void* data, std::size_t size) = 0;
    virtual uint64_t position() const = 0;
    virtual void seek(uint64_t position) = 0;
    // Cuts the stream at the current position.
    virtual void truncate() = 0;
};

// Bytes kept in memory (tests, small parts).
class MemoryOutputStream : public OutputStream {
public:
    void write(const void* data, std::size_t size) override;
    uint64_t position() const override { return position_; }
    void seek(uint64_t position) override { position_ = position; }
    void truncate() override { data_.resize(position_); }

    const std::string& data() const { return data_; }

private:
    std::string data_;
    uint64_t position_ = 0;
};

} // namespace karto
