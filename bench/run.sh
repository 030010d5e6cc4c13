#!/bin/sh
# Runs every benchmark inside network and process namespaces of their own: lo is the only
# interface there (the benchmarks join their own veth-linked hosts below it), and whatever the
# benchmarks start ends with them, however they end.
#   bench/run.sh [build-dir] [tallybell-bench options...]
set -eu
build_dir=${1:-build}
[ $# -gt 0 ] && shift
runner="$build_dir/bin/tallybell-bench"
[ -x "$runner" ] || { echo "no $runner: build first (make bench does)" >&2; exit 2; }
namespaces="--net --pid --fork --mount-proc --kill-child"
[ "$(id -u)" -eq 0 ] || namespaces="--map-root-user $namespaces"
# Not exec'd: the runner must not be the namespace's init, which ignores SIGINT and SIGTERM.
# shellcheck disable=SC2086,SC2016
exec unshare $namespaces sh -c 'ip link set lo up && "$0" "$@"' "$runner" "$@"
