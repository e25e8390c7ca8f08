#include "dbf/field/FieldType.h"

namespace karto {

const char* fieldTypeName(FieldType type)
{
    static const char* const names[] = {
        "ftUnknown", "ftString", "ftSmallint", "ftInteger", "ftWord", "ftBoolean",
        "ftFloat", "ftCurrency", "ftBCD", "ftDate", "ftTime", "ftDateTime",
        "ftBytes", "ftVarBytes", "ftAutoInc", "ftBlob", "ftMemo", "ftGraphic",
        "ftFmtMemo", "ftParadoxOle", "ftDBaseOle", "ftTypedBinary", "ftCursor",
        "ftFixedChar", "ftWideString", "ftLargeint", "ftADT", "ftArray",
        "ftReference", "ftDataSet", "ftOraBlob", "ftOraClob", "ftVariant",
        "ftInterface", "ftIDispatch", "ftGuid", "ftTimeStamp", "ftFMTBcd",
        "ftFixedWideChar", "ftWideMemo", "ftOraTimeStamp", "ftOraInterval",
        "ftLongWord", "ftShortint", "ftByte", "ftExtended", "ftConnection",
        "ftParams", "ftStream", "ftTimeStampOffset", "ftObject", "ftSingle",
    };
    const int n = static_cast<int>(sizeof(names) / sizeof(names[0]));
    return (type >= 0 && type < n) ? names[type] : "ftUnknown";
}

} // namespace karto
