#!/usr/bin/env bash
# Retakes the screenshots of resources/screenshots/ with a built Trawlex:
# tools/screenshots/run.sh [BUILD_FOLDER] (default: build). With
# TRAWLEX_LANGUAGE=fr the interface is French and the screenshots go to
# resources/screenshots/fr/ (the French guide's).
#
# The windows show the searched folder's path, so the search runs over a tidy
# example folder, /home/ann/Documents/project, made on a /home of this run
# alone: a tmpfs in a private mount namespace (as root, or as the user mapped
# to root in a user namespace), with the machine's own home folders bound
# back into it. Nothing is left on the machine but the screenshots.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
export TRAWLEX_LANGUAGE=${TRAWLEX_LANGUAGE:-en}
shots=$root/resources/screenshots
case $TRAWLEX_LANGUAGE in fr*) shots=$root/resources/screenshots/fr ;; esac

if [ -z "${TRAWLEX_SCREENSHOTS:-}" ]; then
  if [ -e /home/ann ]; then
    echo "run.sh: /home/ann exists; the example folder would hide it" >&2
    exit 1
  fi
  out=$(mktemp -d)
  # Never rm -r: the namespace's mounts are gone when it ends, but were one
  # left, a recursive removal would go through the machine's home folders.
  trap 'rm -f "$out"/*.png; rmdir "$out/.homes" "$out" 2>/dev/null' EXIT
  namespace=(unshare --mount --propagation private)
  if [ "$(id -u)" -ne 0 ]; then namespace+=(--map-root-user); fi
  TRAWLEX_SCREENSHOTS=$out "${namespace[@]}" "$0" "$build"
  mkdir -p "$shots"
  cp "$out"/*.png "$shots"/
  echo "screenshots copied to $shots"
  exit 0
fi

# In the namespace: a /home of its own, the machine's home folders bound back.
homes=$TRAWLEX_SCREENSHOTS/.homes
mkdir "$homes"
mount --rbind /home "$homes"
mount -t tmpfs -o mode=755 tmpfs /home
for home in "$homes"/*; do
  [ -d "$home" ] || continue
  mkdir "/home/${home##*/}"
  mount --rbind "$home" "/home/${home##*/}"
done
export TRAWLEX_EXAMPLE=/home/ann/Documents/project
mkdir -p "$TRAWLEX_EXAMPLE"
QT_QPA_PLATFORM=xcb "$root/tests/e2e/e2e.sh" "$build/ui/trawlex" "$root/tools/screenshots/take_screenshots.py"
# A first start again (run_under_bus.sh makes a new home) for the forms.
QT_QPA_PLATFORM=xcb "$root/tests/e2e/e2e.sh" "$build/ui/trawlex" "$root/tools/screenshots/take_forms_screenshot.py"
