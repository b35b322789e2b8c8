#!/usr/bin/env bash
# Retakes the screenshots of resources/screenshots/ with a built Trawlex:
# tools/screenshots/run.sh [BUILD_FOLDER] (default: build). With
# TRAWLEX_LANGUAGE=fr the interface is French and the screenshots go to
# resources/screenshots/fr/ (the French guide's).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
export TRAWLEX_LANGUAGE=${TRAWLEX_LANGUAGE:-en}
export TRAWLEX_SCREENSHOTS=$root/resources/screenshots
case $TRAWLEX_LANGUAGE in fr*) TRAWLEX_SCREENSHOTS=$root/resources/screenshots/fr ;; esac
mkdir -p "$TRAWLEX_SCREENSHOTS"
QT_QPA_PLATFORM=xcb "$root/tests/e2e/e2e.sh" "$build/ui/trawlex" "$root/tools/screenshots/take_screenshots.py"
