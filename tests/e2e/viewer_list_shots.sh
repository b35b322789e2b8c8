#!/usr/bin/env bash
# Takes the viewer-list screenshots: viewer_list_shots.sh TRAWLEX FOLDER SHOTS_DIR.
# Runs viewer_list_shots.py under a virtual display and a session bus of
# their own.
set -u
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$3"
exec setsid xvfb-run -a -s "-screen 0 1400x900x24" dbus-run-session -- bash -c '
  export XDG_RUNTIME_DIR=$(mktemp -d); chmod 700 "$XDG_RUNTIME_DIR"
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  sleep 1
  cd "$0" && timeout 1200 /usr/bin/python3 viewer_list_shots.py "$@"
' "$here" "$@"
