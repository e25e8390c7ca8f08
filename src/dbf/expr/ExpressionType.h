#pragma once
// The types an expression's values take, and the binary form of each in a
// result buffer.
//
//   etInteger    int32_t
//   etString     8-bit text ended by a zero byte
//   etBoolean    one byte, 1 true, 0 false
//   etLargeInt   int64_t
//   etFloat      IEEE double
//   etDateTime   double: days since 30 December 1899, the time of day as
//                the fraction; 0 is an empty date
//
// The remaining values name the punctuation of the token list. Their order
// is fixed (0 to 9).

namespace karto::expr {

enum ExpressionType {
    etInteger,
    etString,
    etBoolean,
    etLargeInt,
    etFloat,
    etDateTime,
    etLeftBracket,
    etRightBracket,
    etComma,
    etUnknown
};

} // namespace karto::expr
