#pragma once

namespace fw {

/// A rectangle in a control's or a window's coordinates (top-left origin).
struct Rect {
    double Left = 0;
    double Top = 0;
    double Width = 0;
    double Height = 0;
};

} // namespace fw
