#include "export/output/OutputStream.h"

#include <algorithm>
#include <cstring>

namespace karto {

void MemoryOutputStream::write(const void* data, std::size_t size)
{
    if (size == 0)
        return;
    if (position_ > data_.size())
        data_.resize(position_, '\0');
    const std::size_t overlap = std::min<std::size_t>(size, data_.size() - position_);
    std::memcpy(&data_[position_], data, overlap);
    data_.append(static_cast<const char*>(data) + overlap, size - overlap);
    position_ += size;
}

} // namespace karto
