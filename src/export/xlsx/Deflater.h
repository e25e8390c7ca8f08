#pragma once
// Raw deflate (zlib, no header or checksum) of a byte stream handed over in
// pieces, with the output passed on in 64 KiB blocks. Level -1 (zlib's
// default), window bits -15, memory level 8, default strategy.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace karto {

// The text of a zlib failure: "zlib error <code>", followed by ": <message>"
// when zlib gave one.
std::string zlibErrorText(int code, const char* message);
// Raises ZipException with that text.
[[noreturn]] void raiseZlibError(int code, const char* message);

class Deflater {
public:
    // sink receives every piece of compressed output.
    using Sink = std::function<void(const char* data, std::size_t size)>;

    explicit Deflater(Sink sink, int level = -1);
    ~Deflater();
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    void write(const void* data, std::size_t size);
    // Ends the stream with a final block.
    void finish();
    // Ends the data with a sync flush (non-final blocks, byte boundary) so
    // that other raw deflate data may follow it; the next write starts a
    // fresh stream that refers to nothing before it.
    void finishSegment();

    uint64_t totalIn() const { return totalIn_; }
    uint64_t totalOut() const { return totalOut_; }

private:
    void run(int flush, const void* data, std::size_t size);

    Sink sink_;
    struct State;
    State* state_;
    std::string buffer_;
    uint64_t totalIn_ = 0;
    uint64_t totalOut_ = 0;
    bool needsReset_ = false;
};

} // namespace karto
