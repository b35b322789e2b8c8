#!/usr/bin/env bash
# Retakes the screenshots of resources/screenshots/ with a built Trawlex:
# tools/screenshots/run.sh [BUILD_FOLDER] (default: build).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
export TRAWLEX_SCREENSHOTS=$root/resources/screenshots
QT_QPA_PLATFORM=xcb "$root/tests/e2e/e2e.sh" "$build/ui/trawlex" "$root/tools/screenshots/take_screenshots.py"
