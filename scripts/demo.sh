#!/bin/sh
# scripts/demo.sh [BUILD]: an alarm from one host to another, on this machine only. Tallybell
# (named "Demo") runs in host A and the alarm test peer in host B, two network namespaces joined by
# a veth pair (198.18.0.1 and .2), so nothing reaches a real network. The peer raises an alarm and
# prints the acknowledgement that comes back once "On my Way!" is clicked: by you, on your display,
# or, without one, by xdotool on an X server of the demo's own.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
for program in tallybell tallybell-peer; do
    [ -x "$build/bin/$program" ] || { echo "no $build/bin/$program: run make test first" >&2; exit 2; }
done

if [ "${TALLYBELL_DEMO_INSIDE:-}" != 1 ]; then
    # Host A is a namespace of the demo's own; host B is made inside it.
    TALLYBELL_DEMO_INSIDE=1 exec "$root/tests/support/netns-run" "$0" "$build"
fi

work=$(mktemp -d)
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# Host B: a namespace kept by a sleeper; the veth pair crosses to it.
unshare --net sleep infinity &
hostB=$!
pids="$hostB"
while [ "$(readlink /proc/$hostB/ns/net)" = "$(readlink /proc/self/ns/net)" ]; do sleep 0.05; done
inB() { nsenter --net=/proc/$hostB/ns/net -- "$@"; }
ip link add tb-veth-a type veth peer name tb-veth-b
ip link set tb-veth-b netns "$hostB"
ip addr add 198.18.0.1/24 dev tb-veth-a
ip link set tb-veth-a multicast on up
ip route replace 224.0.0.0/4 dev tb-veth-a
inB ip link set lo up
inB ip addr add 198.18.0.2/24 dev tb-veth-b
inB ip link set tb-veth-b multicast on up
inB ip route replace 224.0.0.0/4 dev tb-veth-b

mkdir -p "$work/config/Tallybell"
printf '{"alarmName":"Demo","port":"40001","mCastIP":"239.1.2.4"}' \
    >"$work/config/Tallybell/Tallybell.prefs"
clicker=""
if [ -z "${DISPLAY:-}" ]; then
    "$root/tests/support/private-xvfb" -screen 0 1280x1024x24 >"$work/display" 2>/dev/null &
    pids="$pids $!"
    while [ ! -s "$work/display" ]; do sleep 0.1; done
    DISPLAY=:$(cat "$work/display")
    export DISPLAY
    clicker=xdotool
    echo "No display: Tallybell runs on an X server of the demo's own, and xdotool clicks for you."
fi
XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$build/bin/tallybell" 2>"$work/log" &
app=$!
pids="$pids $app"
until grep -q "Joined multicast group" "$work/log"; do
    kill -0 "$app" 2>/dev/null || { cat "$work/log" >&2; exit 1; }
    sleep 0.1
done
echo "Tallybell has joined 239.1.2.4:40001 in host A; the peer raises an alarm from host B."

if [ -n "$clicker" ]; then
    # The button's centre is 300, 334 in the window's content, below the menu bar.
    (
        window=$(xdotool search --sync --onlyvisible --name '^Tallybell$' | head -n 1)
        height=$(xwininfo -id "$window" | sed -n 's/^ *Height: *//p')
        xdotool mousemove --window "$window" 300 $((334 + height - 400)) click 1
    ) &
    pids="$pids $!"
else
    echo "Click \"On my Way!\" in the alarm window (within a minute)."
fi
inB "$build/bin/tallybell-peer" alarm --group 239.1.2.4 --port 40001 --timeout-ms 60000
