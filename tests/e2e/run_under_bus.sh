#!/usr/bin/env bash
# Runs Trawlex on an empty data folder under its own accessibility bus and
# runs a Python script that drives it: run_under_bus.sh TRAWLEX SCRIPT ARGS...
# Call it inside xvfb-run and dbus-run-session.
set -u
app=$1; shift
work=$(mktemp -d)
trap 'kill "$app_pid" "$bus_pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
export HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" XDG_CONFIG_HOME="$work/home/.config"
export XDG_RUNTIME_DIR="$work/run" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 LANGUAGE=${TRAWLEX_LANGUAGE:-en} LANG=C.UTF-8
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$work/data/sub"
chmod 700 "$XDG_RUNTIME_DIR"
printf 'hello world\nsay hello\n' > "$work/data/a.txt"
printf 'xx hello' > "$work/data/sub/b.txt"
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
bus_pid=$!
sleep 1
"$app" &
app_pid=$!
script=$1; shift
timeout 120 /usr/bin/python3 "$script" "$work/data" "$@" || exit 1
# Whatever windows are up, the end of the session (SIGTERM) ends it.
kill -TERM "$app_pid"
for _ in $(seq 50); do
  kill -0 "$app_pid" 2>/dev/null || exit 0
  sleep 0.2
done
echo "Trawlex did not quit on SIGTERM" >&2
exit 1
