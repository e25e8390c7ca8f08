#pragma once
// An output file written front to back that replaces its target only when
// it is complete (see ReplacementTarget), with a buffer callers may format
// into directly.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "export/output/ReplacementTarget.h"

namespace karto {

class ReplacingFile {
public:
    // Raises KartoError "Cannot create file \"%s\". %s" (naming the target)
    // when the folder does not allow it.
    explicit ReplacingFile(std::string target, std::size_t bufferSize = 1 << 20);

    void write(const void* data, std::size_t size);
    void write(std::string_view text) { write(text.data(), text.size()); }
    // Direct access to the buffer for callers that format in place.
    std::string& buffer() { return buffer_; }
    // Writes the buffer out when it holds at least the threshold.
    void flushIfFull() { if (buffer_.size() >= bufferSize_) flush(); }

    // Writes what is buffered to the temporary file.
    void flush();
    // Completes the file and puts it in the target's place.
    void commit();

    const std::string& target() const { return file_.target(); }
    const std::string& temporaryPath() const { return file_.temporaryPath(); }
    uint64_t bytesWritten() const { return written_ + buffer_.size(); }

private:
    ReplacementTarget file_;
    std::size_t bufferSize_;
    std::string buffer_;
    uint64_t written_ = 0;
};

} // namespace karto
