#pragma once

namespace fw {

/// Turns SIGTERM, SIGINT and SIGHUP (logout, a service manager, Ctrl+C, a closed terminal) into
/// an orderly Quit, so the application's Close event still runs. Call once the event loop exists.
void QuitOnTerminationSignals();

/// Whether a termination signal has asked the application to quit. Nobody is left to answer a
/// message box then: the framework logs its text instead of waiting for an answer.
bool TerminationRequested();

} // namespace fw
