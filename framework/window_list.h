#pragma once

namespace fw {

/// Closes every open window, each raising its Close event (quitting does this first).
void CloseAllWindows();

} // namespace fw
