#include "dbf/index/KeyCompare.h"

#include <cstring>

#include "dbf/io/ByteOrder.h"

namespace karto::mdx {

namespace {

bool isNumeric(char type)
{
    return type == 'N' || type == 'F';
}

// 0 negative, 1 zero, 2 positive.
int numericClass(const uint8_t* k)
{
    if ((k[1] & 0x7F) <= 1)
        return 1;
    return (k[1] & 0x80) ? 0 : 2;
}

double loadDouble(const uint8_t* p)
{
    const uint64_t bits = loadLE64(p);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

} // namespace

KeyComparator::KeyComparator(char keyType, int keyLength, const uint8_t* weights, bool descending)
    : keyType_(keyType), keyLength_(keyLength), weights_(keyType == 'C' ? weights : nullptr),
      descending_(descending)
{
}

int KeyComparator::ascending(const uint8_t* a, const uint8_t* b) const
{
    if (keyType_ == 'C') {
        // Equal bytes weigh the same: an equal beginning is passed over
        // eight bytes at a time.
        int i = 0;
        for (; i + 8 <= keyLength_; i += 8) {
            uint64_t x;
            uint64_t y;
            std::memcpy(&x, a + i, 8);
            std::memcpy(&y, b + i, 8);
            if (x != y)
                break;
        }
        for (; i < keyLength_; ++i) {
            uint8_t x = a[i] ? a[i] : ' ';
            uint8_t y = b[i] ? b[i] : ' ';
            if (x == y)
                continue;
            if (weights_) {
                x = weights_[x];
                y = weights_[y];
                if (x == y)
                    continue;
            }
            return x < y ? -1 : 1;
        }
        return 0;
    }
    if (isNumeric(keyType_)) {
        const int ca = numericClass(a);
        const int cb = numericClass(b);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 1)
            return 0;
        int r;
        if (a[0] != b[0])
            r = a[0] < b[0] ? -1 : 1;
        else
            r = std::memcmp(a + 2, b + 2, 10);
        r = r < 0 ? -1 : (r > 0 ? 1 : 0);
        return ca == 0 ? -r : r;
    }
    if (keyType_ == 'D') {
        const double x = loadDouble(a);
        const double y = loadDouble(b);
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    const int r = std::memcmp(a, b, static_cast<size_t>(keyLength_));
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int KeyComparator::sortFormLength() const
{
    if (isNumeric(keyType_))
        return 12;
    if (keyType_ == 'D')
        return 8;
    return keyLength_;
}

void KeyComparator::sortForm(const uint8_t* key, uint8_t* out) const
{
    if (keyType_ == 'C') {
        for (int i = 0; i < keyLength_; ++i) {
            const uint8_t x = key[i] ? key[i] : ' ';
            out[i] = weights_ ? weights_[x] : x;
        }
        return;
    }
    if (isNumeric(keyType_)) {
        const int c = numericClass(key);
        std::memset(out, 0, 12);
        out[0] = static_cast<uint8_t>(c);
        if (c == 1)
            return;
        out[1] = key[0];
        std::memcpy(out + 2, key + 2, 10);
        if (c == 0)
            for (int i = 1; i < 12; ++i)
                out[i] = static_cast<uint8_t>(255 - out[i]);
        return;
    }
    if (keyType_ == 'D') {
        uint64_t bits = loadLE64(key);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (d == 0)
            bits = 0;   // -0 and +0 alike
        bits = (bits & 0x8000000000000000ull) ? ~bits : bits | 0x8000000000000000ull;
        storeBE64(out, bits);
        return;
    }
    std::memcpy(out, key, static_cast<size_t>(keyLength_));
}

} // namespace karto::mdx
