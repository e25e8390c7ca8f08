#pragma once
// A seekable output file that replaces its target only when complete.
//
// The bytes go to a temporary file beside the target (same folder, so the
// final rename is atomic). commit() flushes, closes and renames it over the
// target; destroying the object without commit() removes the temporary file
// and leaves an existing target untouched.

#include <string>

#include "export/OutputStream.h"

namespace karto {

class ReplacingOutputStream : public OutputStream {
public:
    // Creates the temporary file; raises KartoError
    // "Cannot create file \"%s\". %s" (the target, the system's reason).
    explicit ReplacingOutputStream(std::string target);
    ~ReplacingOutputStream() override;
    ReplacingOutputStream(const ReplacingOutputStream&) = delete;
    ReplacingOutputStream& operator=(const ReplacingOutputStream&) = delete;

    // Raises KartoError "Cannot write file \"%s\". %s" on failure.
    void write(const void* data, std::size_t size) override;
    uint64_t position() const override { return position_; }
    void seek(uint64_t position) override;
    void truncate() override;

    void commit();

    const std::string& target() const { return target_; }
    const std::string& temporaryPath() const { return tempPath_; }

private:
    void flush();
    [[noreturn]] void fail(const char* what, int error);

    std::string target_;
    std::string tempPath_;
    int fd_ = -1;
    std::string buffer_;          // bytes not yet written, starting at bufferStart_
    uint64_t bufferStart_ = 0;
    uint64_t position_ = 0;
    bool committed_ = false;
};

} // namespace karto
