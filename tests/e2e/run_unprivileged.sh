#!/usr/bin/env bash
# Runs a command as the unprivileged user 65534 when started as root: root
# reads every file whatever its mode, so a walk that must meet a file it
# cannot read runs as a user that the file's mode stops.
# run_unprivileged.sh COMMAND ARGS...
set -u
if [ "$(id -u)" -ne 0 ]; then exec "$@"; fi
drop=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/tmp)
for f in "$@"; do
  if [ -e "$f" ] && ! "${drop[@]}" test -r "$f"; then
    echo "run_unprivileged.sh: user 65534 cannot read $f (is the build under a folder closed to others?)" >&2
    exit 1
  fi
done
exec "${drop[@]}" "$@"
