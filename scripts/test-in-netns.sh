#!/bin/sh
# Runs the whole test suite inside a network namespace of its own (loopback up, multicast routed
# to it); each test then takes a namespace of its own below this one.
set -eu
build_dir=${1:-build}
# Only the sanitized build reads these. The list of suppressions used would land on the
# application's standard error, which the end-to-end tests hold to the system's own lines; a
# leak still reports there and fails the run.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")/.." && pwd)/tests/support/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
jobs=$(nproc)
inner="ip link set lo up && ip link set lo multicast on && ip route add 224.0.0.0/4 dev lo src 127.0.0.1 &&
       ctest --test-dir '$build_dir' --output-on-failure -j $jobs"
if [ "$(id -u)" -eq 0 ]; then
    exec unshare --net sh -c "$inner"
fi
exec unshare --map-root-user --net sh -c "$inner"
