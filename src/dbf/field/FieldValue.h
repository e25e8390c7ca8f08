#pragma once
// Field values inside a record, all of them: decoding bytes into typed values
// (FieldDecode.h), encoding typed values into bytes with the empty record and
// the autoincrement (FieldEncode.h), the text forms the grid and the exports
// show (FieldText.h), and the record format they all depend on
// (RecordFormat.h).

#include "dbf/field/FieldDecode.h"
#include "dbf/field/FieldEncode.h"
#include "dbf/field/FieldText.h"
#include "dbf/field/RecordFormat.h"
