#pragma once

namespace tallybell::testing {

/// The launcher that starts every X server of the tests and benchmarks with state of its own
/// (tests/support/private-xvfb). Its arguments go to Xvfb; it prints the display number.
inline constexpr const char* kPrivateXvfb = TALLYBELL_PRIVATE_XVFB;

} // namespace tallybell::testing
