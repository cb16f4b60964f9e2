#!/usr/bin/env bash
# scripts/test.sh [build-dir] [cmake options...]: set up, build and run the whole test suite.
# Tests run headless: offscreen by default, on an Xvfb display where they need a real X server.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
"$root/scripts/build.sh" "$build" "$@"
export QTWEBENGINE_DISABLE_SANDBOX=1
xvfb-run -a -s '-screen 0 1440x900x24 -noreset' \
    ctest --test-dir "$build" --output-on-failure -j 2 --timeout 600
