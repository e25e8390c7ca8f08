#include "export/xlsx/Deflater.h"

#include <zlib.h>

#include "export/workbook/WorkbookErrors.h"

namespace karto {

namespace {

constexpr std::size_t kOutputBlock = 65536;

} // namespace

std::string zlibErrorText(int code, const char* message)
{
    std::string text = "zlib error ";
    text += std::to_string(code);
    if (message) {
        text += ": ";
        text += message;
    }
    return text;
}

void raiseZlibError(int code, const char* message)
{
    throw ZipException(zlibErrorText(code, message));
}

struct Deflater::State {
    z_stream stream{};
};

Deflater::Deflater(Sink sink, int level) : sink_(std::move(sink)), state_(new State)
{
    const int code = deflateInit2(&state_->stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    if (code != Z_OK) {
        delete state_;
        state_ = nullptr;
        raiseZlibError(code, nullptr);
    }
    buffer_.resize(kOutputBlock);
}

Deflater::~Deflater()
{
    if (state_) {
        deflateEnd(&state_->stream);
        delete state_;
    }
}

void Deflater::run(int flush, const void* data, std::size_t size)
{
    z_stream& s = state_->stream;
    if (needsReset_) {
        deflateReset(&s);
        needsReset_ = false;
    }
    const auto* input = static_cast<const Bytef*>(data);
    // zlib counts input in uInt: hand over large inputs in pieces.
    do {
        const std::size_t piece = size > (1u << 30) ? (1u << 30) : size;
        const int pieceFlush = (piece == size) ? flush : Z_NO_FLUSH;
        s.next_in = const_cast<Bytef*>(input);
        s.avail_in = static_cast<uInt>(piece);
        for (;;) {
            s.next_out = reinterpret_cast<Bytef*>(buffer_.data());
            s.avail_out = static_cast<uInt>(buffer_.size());
            const int code = deflate(&s, pieceFlush);
            if (code != Z_OK && code != Z_STREAM_END && code != Z_BUF_ERROR)
                raiseZlibError(code, s.msg);
            const std::size_t produced = buffer_.size() - s.avail_out;
            if (produced > 0) {
                totalOut_ += produced;
                sink_(buffer_.data(), produced);
            }
            if (code == Z_STREAM_END)
                break;
            if (s.avail_in == 0 && s.avail_out != 0)
                break;
        }
        input += piece;
        size -= piece;
        totalIn_ += piece;
    } while (size > 0);
}

void Deflater::write(const void* data, std::size_t size)
{
    if (size == 0)
        return;
    run(Z_NO_FLUSH, data, size);
}

void Deflater::finish()
{
    run(Z_FINISH, nullptr, 0);
    needsReset_ = true;
}

void Deflater::finishSegment()
{
    run(Z_SYNC_FLUSH, nullptr, 0);
    needsReset_ = true;
}

} // namespace karto
