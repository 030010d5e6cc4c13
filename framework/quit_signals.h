#pragma once

namespace fw {

/// Turns SIGTERM and SIGINT (logout, a service manager, Ctrl+C) into an orderly Quit, so the
/// application's Close event still runs. Call once the event loop exists.
void QuitOnTerminationSignals();

} // namespace fw
