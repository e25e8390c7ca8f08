#pragma once
// The user's locale formats for the engine's text forms.

#include "dbf/field/FormatSettings.h"

namespace karto {

// Short date format, long time format and thousands separator from the
// user's locale (QLocale); the decimal separator is always ".".
FormatSettings systemFormatSettings();

} // namespace karto
