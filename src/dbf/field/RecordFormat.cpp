#include "dbf/field/RecordFormat.h"

namespace karto {

RecordFormat recordFormatOf(const FieldDefs& defs)
{
    RecordFormat format;
    format.version = defs.dbfVersion();
    for (int i = 0; i < defs.count(); ++i) {
        const FieldDef& def = defs.item(i);
        if (def.fieldName() == "_NULLFLAGS") {
            format.nullFlagsOffset = def.offset();
            format.nullFlagsSize = def.size();
            break;
        }
    }
    return format;
}

} // namespace karto
