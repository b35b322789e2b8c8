#!/usr/bin/env bash
# One end-to-end walk: e2e.sh TRAWLEX SCRIPT. Runs it under a virtual display
# and a session bus of its own, in a process group of its own, so that no
# display, bus or accessibility service outlives the walk.
set -u
here=$(cd "$(dirname "$0")" && pwd)
log=$(mktemp)
setsid xvfb-run -a -s "-screen 0 1280x800x24" \
  dbus-run-session -- "$here/run_under_bus.sh" "$@" >"$log" 2>&1 &
pid=$!
wait "$pid"
status=$?
kill -TERM -- -"$pid" 2>/dev/null
grep -v -e '^dbus-daemon' -e 'SpiRegistry daemon' -e '^$' "$log"
rm -f "$log"
exit "$status"
