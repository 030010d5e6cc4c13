#pragma once

#include "framework/core/auto.h"
#include "framework/core/text.h"

namespace fw {

// Our own reader and writer rather than QJsonDocument: Qt's keeps an object's keys sorted, and a
// Dictionary (the preferences file with it) keeps its members in the order they were written.

/// Parses one JSON text (RFC 8259): an object gives a Dictionary (members in order), an array an
/// AutoArray, a string a Text, an integer an Int64, other numbers a Double. Raises
/// InvalidJSONException for anything else, an empty text included.
Auto ParseJSON(const Text& json);

/// The compact JSON text of a value (no white space, no line end). Text and strings become JSON
/// strings; a value that has no JSON form raises TypeMismatchException.
Text GenerateJSON(const Auto& value);

} // namespace fw
