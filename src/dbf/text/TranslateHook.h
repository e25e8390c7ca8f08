#pragma once
#include <cstdint>

namespace karto {

// Receiver of every text value that passes between a table and the program:
// the dataset calls it on each character field value it reads (toOem false) or
// writes (toOem true), and on memo text in blocks of at most 512 bytes.
//
// The dataset always calls it in place (src == dst) on a NUL-terminated buffer.
// An implementation must keep the text NUL-terminated and may not make it
// longer. It returns the length of the text in dst, or -1 to let the dataset
// take the length of the NUL-terminated dst. The dataset installs at most one
// hook and does not own it.
//
// A virtual call per value keeps this cheap: no allocation, no type erasure.
class TranslateHook {
public:
    virtual ~TranslateHook() = default;
    virtual int translate(uint8_t* src, uint8_t* dst, bool toOem) = 0;

    // A hook that converts text read from the table byte by byte through a
    // fixed table (what translate(..., false) does to every byte but the
    // terminator) may publish it, so that the dataset converts and decodes in
    // one pass: map[b] is the byte b becomes. `version` changes whenever the
    // table does. nullptr: no such table, translate() is called.
    virtual const uint8_t* readingByteMap(uint64_t& version) const
    {
        version = 0;
        return nullptr;
    }
};

} // namespace karto
