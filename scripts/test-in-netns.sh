#!/bin/sh
# Runs the whole test suite inside a network namespace of its own (tests/support/netns-run); each
# test then takes a namespace of its own below this one. Arguments after the build folder go to
# ctest (e.g. -R <pattern>).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-build}
[ $# -gt 0 ] && shift
# Only the sanitized build reads these. The list of suppressions used would land on the
# application's standard error, which the end-to-end tests hold to the system's own lines; a
# leak still reports there and fails the run.
export LSAN_OPTIONS="suppressions=$root/tests/support/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
exec "$root/tests/support/netns-run" ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" "$@"
