#pragma once

// Framework-internal: where the toolkit's own messages go.

namespace fw {

/// The status of a process that the toolkit could not carry on (no display to start on, or one
/// that went away).
constexpr int kToolkitFailureStatus = 1;

/// From here on every toolkit message goes to the system log at debug level. Critical and fatal
/// ones also reach the debug log (standard error), one line each; a fatal one ends the process
/// with kToolkitFailureStatus instead of an abort, after the warning that led to it, if any.
void RouteToolkitMessages();

} // namespace fw
