#pragma once

// Framework-internal: how the framework's strings reach Qt. The application's code never
// includes this header.

#include "framework/core/string.h"

#include <QString>

namespace fw {

/// The string as Qt text; the framework's strings hold UTF-8.
inline QString qtText(const String& text) {
    return QString::fromStdString(text.Bytes());
}

} // namespace fw
