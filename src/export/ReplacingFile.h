#pragma once
// An output file that replaces its target only when it is complete.
//
// The bytes go to a temporary file beside the target (same folder, so the
// final rename is atomic). commit() flushes, closes and renames it over the
// target; an object destroyed without commit() removes the temporary file
// and leaves an existing target untouched. A symbolic link is followed (the
// file it names is replaced); an existing target that is no regular file (a
// device, a pipe) is written directly.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace karto {

class ReplacingFile {
public:
    // Creates the temporary file; raises KartoError "Cannot create file \"%s\". %s"
    // (naming the target) when the folder does not allow it.
    explicit ReplacingFile(std::string target, std::size_t bufferSize = 1 << 20);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    void write(const void* data, std::size_t size);
    void write(std::string_view text) { write(text.data(), text.size()); }
    // Direct access to the buffer for callers that format in place.
    std::string& buffer() { return buffer_; }
    // Writes the buffer out when it holds at least the threshold.
    void flushIfFull() { if (buffer_.size() >= bufferSize_) flush(); }

    // Writes what is buffered to the temporary file.
    void flush();
    // Completes the file and renames it over the target.
    void commit();

    const std::string& target() const { return target_; }
    const std::string& temporaryPath() const { return tempPath_; }
    uint64_t bytesWritten() const { return written_ + buffer_.size(); }

private:
    [[noreturn]] void fail(const char* what, int error);

    std::string target_;
    std::string destination_;   // the file replaced: target_, a link resolved
    std::string tempPath_;
    int fd_ = -1;
    std::size_t bufferSize_;
    std::string buffer_;
    uint64_t written_ = 0;
    bool committed_ = false;
};

} // namespace karto
