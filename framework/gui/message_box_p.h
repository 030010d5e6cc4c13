#pragma once

// Framework-internal: the open message boxes at the end of the run.

namespace fw {

/// Deletes every message box still open; before the toolkit goes, which would leave them behind.
void DiscardMessageBoxes();

} // namespace fw
