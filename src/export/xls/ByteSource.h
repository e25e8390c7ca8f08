#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

namespace karto {

// A stream of bytes read once from front to back whose remaining length is
// known before reading begins. The compound document writer copies its data
// stream from one of these, so that the data never has to be one block.
class ByteSource {
public:
    virtual ~ByteSource() = default;

    // Bytes from the current position to the end.
    virtual std::uint64_t remaining() const = 0;

    // Copies up to count bytes into buffer and returns how many were copied;
    // 0 only at the end.
    virtual std::size_t read(char* buffer, std::size_t count) = 0;
};

// A ByteSource over bytes held elsewhere (the caller keeps them alive).
class MemoryByteSource : public ByteSource {
public:
    MemoryByteSource(const void* data, std::size_t size)
        : data_(static_cast<const char*>(data)), size_(size) {}

    std::uint64_t remaining() const override { return size_ - position_; }
    std::size_t read(char* buffer, std::size_t count) override;

private:
    const char* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

// Several sources read one after the other as one stream (not owned). It
// can report the read position whenever it enters another MiB.
class ConcatByteSource : public ByteSource {
public:
    ConcatByteSource(std::initializer_list<ByteSource*> parts);

    std::uint64_t remaining() const override;
    std::size_t read(char* buffer, std::size_t count) override;

    // Called with (MiB reached, total MiB rounded up).
    void setReadProgress(std::function<void(std::uint64_t, std::uint64_t)> callback)
    {
        progress_ = std::move(callback);
    }

private:
    std::vector<ByteSource*> parts_;
    std::size_t current_ = 0;
    std::uint64_t position_ = 0;
    std::uint64_t total_ = 0;
    std::uint64_t lastMiB_ = 0;
    std::function<void(std::uint64_t, std::uint64_t)> progress_;
};

} // namespace karto
