#include "export/ByteSource.h"

#include <algorithm>
#include <cstring>

namespace karto {

std::size_t MemoryByteSource::read(char* buffer, std::size_t count)
{
    const std::size_t n = std::min(count, size_ - position_);
    if (n > 0) {
        std::memcpy(buffer, data_ + position_, n);
        position_ += n;
    }
    return n;
}

} // namespace karto
