#pragma once
// The toolkit's Unicode case mapping for the text matcher: the full
// upper-case form of a character (ß becomes SS, č becomes Č).

#include "commands/TextMatcher.h"

namespace karto {

TextMatcher::UpperCase qtUpperCase();

} // namespace karto
