#pragma once
#include <cstddef>
#include <cstdint>

namespace karto {

// Conversion of 8-bit text between two code pages, the engine's own
// translation (used when no translate hook is installed, and for the string
// fields of filter expressions).
//
// Single-byte code pages convert through a byte-to-byte table built once per
// pair from their Unicode tables. Kamenický (895, and 867, the number the dBase
// drivers give it) uses the engine's own table; every other code page comes
// from the C library's iconv ("CP852", "CP1250", "MAC-CENTRALEUROPE", ...).
// A character the target code page lacks, and a byte the source leaves
// undefined, becomes "?". Thread-safe.

// Whether the engine can convert to and from the code page.
bool canConvertCodePage(int codePage);

// Converts `length` bytes of `src` (length < 0: up to its terminating zero
// byte) from one code page to another into `dst`, which may be `src` itself,
// writing at most `dstCapacity` bytes and never a partial character. Returns
// the number of bytes written; the result is not zero-terminated. Equal code
// pages copy (nothing to do in place). A code page the engine cannot convert
// gives a plain copy.
int convertCodePage(int fromCodePage, int toCodePage, const uint8_t* src, int length,
                    uint8_t* dst, std::size_t dstCapacity);

} // namespace karto
