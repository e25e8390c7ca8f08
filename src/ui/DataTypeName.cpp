#include "ui/DataTypeName.h"

namespace karto {

QString dataTypeToString(FieldType dataType)
{
    QString name = QString::fromLatin1(fieldTypeName(dataType));
    if (name.startsWith(QLatin1String("ft")))
        name.remove(0, 2);
    return name;
}

} // namespace karto
