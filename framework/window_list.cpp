#include "framework/window_list.h"

namespace fw {

void CloseAllWindows() {
    // Replaced by the window registry once windows exist.
}

} // namespace fw
