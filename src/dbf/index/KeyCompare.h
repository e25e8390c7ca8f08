#pragma once
// The order of the keys of one tag.
//
//  - 'C': byte by byte over the key length, a 0 byte read as a space, each
//    byte replaced by its weight in the collation's table (none: binary).
//  - 'N' / 'F' (12-byte numeric form): negative below zero below positive;
//    equal signs compare the exponent bytes, then the ten digit bytes 2-11
//    as unsigned bytes; two negative keys in reverse.
//  - 'D': as doubles.
//  - '+', '@', 'I', 'O' and anything else: bytes as unsigned.
// A descending tag reverses the order. sortForm() gives, for any key, bytes
// whose plain byte order (memcmp) is the ascending order of the keys.

#include <cstdint>

namespace karto::mdx {

class KeyComparator {
public:
    KeyComparator() = default;
    KeyComparator(char keyType, int keyLength, const uint8_t* weights, bool descending);

    // Negative, zero or positive as a is below, equal to or above b in the
    // tag's order (descending tags reversed).
    int compare(const uint8_t* a, const uint8_t* b) const
    {
        const int r = ascending(a, b);
        return descending_ ? -r : r;
    }
    bool equal(const uint8_t* a, const uint8_t* b) const { return ascending(a, b) == 0; }
    int ascending(const uint8_t* a, const uint8_t* b) const;

    // Length of the sort form and the form of a key (see above).
    int sortFormLength() const;
    void sortForm(const uint8_t* key, uint8_t* out) const;

    char keyType() const { return keyType_; }
    int keyLength() const { return keyLength_; }
    bool descending() const { return descending_; }

private:
    char keyType_ = 'C';
    int keyLength_ = 0;
    const uint8_t* weights_ = nullptr;
    bool descending_ = false;
};

} // namespace karto::mdx
