#pragma once
// What the window says in Czech when a field refuses a typed value: which
// field, what was typed and what the field takes. The engine's reason
// (FieldValueError) is put into words here; a reason without words of its
// own shows the engine's message.

#include <QString>

namespace karto {

class Field;
class FieldValueError;

QString fieldValueMessage(const FieldValueError& error, const Field& field);

} // namespace karto
