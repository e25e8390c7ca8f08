#pragma once
// A seekable output file that replaces its target only when complete (see
// ReplacementTarget).

#include <string>

#include "export/output/OutputStream.h"
#include "export/output/ReplacementTarget.h"

namespace karto {

class ReplacingOutputStream : public OutputStream {
public:
    // Creates the temporary file; raises KartoError
    // "Cannot create file \"%s\". %s" (the target, the system's reason).
    explicit ReplacingOutputStream(std::string target);
    ReplacingOutputStream(const ReplacingOutputStream&) = delete;
    ReplacingOutputStream& operator=(const ReplacingOutputStream&) = delete;

    // Raises KartoError "Cannot write file \"%s\". %s" on failure.
    void write(const void* data, std::size_t size) override;
    uint64_t position() const override { return position_; }
    void seek(uint64_t position) override;
    void truncate() override;

    void commit();

    const std::string& target() const { return file_.target(); }
    const std::string& temporaryPath() const { return file_.temporaryPath(); }

private:
    void flush();

    ReplacementTarget file_;
    std::string buffer_;          // bytes not yet written, starting at bufferStart_
    uint64_t bufferStart_ = 0;
    uint64_t position_ = 0;
    bool committed_ = false;
};

} // namespace karto
