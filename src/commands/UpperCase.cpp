#include "commands/UpperCase.h"

#include <QString>

namespace karto {

TextMatcher::UpperCase qtUpperCase()
{
    return [](char32_t c) { return QString::fromUcs4(&c, 1).toUpper().toStdString(); };
}

} // namespace karto
