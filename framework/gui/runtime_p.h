#pragma once

// Framework-internal: the run's state that the rest of the framework asks about.

namespace fw {

/// Whether the display has gone away while the application ran: nothing can be shown any more,
/// and the application is ending as far in order as it can without one.
bool DisplayLost();

} // namespace fw
