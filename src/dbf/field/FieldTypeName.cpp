#include "dbf/field/FieldType.h"

namespace karto {

const char* fieldTypeName(FieldType type)
{
    switch (type) {
    case ftUnknown: return "ftUnknown";
    case ftString: return "ftString";
    case ftSmallint: return "ftSmallint";
    case ftInteger: return "ftInteger";
    case ftWord: return "ftWord";
    case ftBoolean: return "ftBoolean";
    case ftFloat: return "ftFloat";
    case ftCurrency: return "ftCurrency";
    case ftBCD: return "ftBCD";
    case ftDate: return "ftDate";
    case ftTime: return "ftTime";
    case ftDateTime: return "ftDateTime";
    case ftBytes: return "ftBytes";
    case ftAutoInc: return "ftAutoInc";
    case ftBlob: return "ftBlob";
    case ftMemo: return "ftMemo";
    case ftDBaseOle: return "ftDBaseOle";
    case ftFixedChar: return "ftFixedChar";
    case ftWideString: return "ftWideString";
    case ftLargeint: return "ftLargeint";
    }
    return "ftUnknown";
}

} // namespace karto
