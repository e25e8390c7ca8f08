#pragma once
#include <cstdint>

namespace karto {

// Typed view of a field: the values the native type letters map to, and
// those table creation accepts besides (ftWord, ftCurrency, ftFixedChar,
// ftWideString). The ordinal values are fixed: callers compare them, the
// "field type not supported" message shows them, and the structure window
// shows the names. ftTime has no letter; creating a field of it fails.
enum FieldType : int {
    ftUnknown = 0,
    ftString = 1,
    ftSmallint = 2,
    ftInteger = 3,
    ftWord = 4,
    ftBoolean = 5,
    ftFloat = 6,
    ftCurrency = 7,
    ftBCD = 8,
    ftDate = 9,
    ftTime = 10,
    ftDateTime = 11,
    ftBytes = 12,
    ftAutoInc = 14,
    ftBlob = 15,
    ftMemo = 16,
    ftDBaseOle = 20,
    ftFixedChar = 23,
    ftWideString = 24,
    ftLargeint = 25,
};

// The name of a field type ("ftString"), as the structure window shows it;
// "ftUnknown" for an ordinal that is none of the above.
const char* fieldTypeName(FieldType type);

// Format version of a table file, in this order (values 0-6).
enum XBaseVersion : int {
    xUnknown = 0,
    xClipper = 1,
    xBaseIII = 2,
    xBaseIV = 3,
    xBaseV = 4,
    xFoxPro = 5,
    xBaseVII = 6,
};

} // namespace karto
