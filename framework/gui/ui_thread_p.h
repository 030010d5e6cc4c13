#pragma once

namespace fw {

/// Windows, controls and drawing belong to the main thread: from any other, this raises
/// ThreadAccessingUIException.
void RequireMainThread();

} // namespace fw
