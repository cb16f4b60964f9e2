#!/usr/bin/env bash
# scripts/run.sh: set up, build and start the app.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
"$root/scripts/build.sh" "$build"
export QTWEBENGINE_DISABLE_SANDBOX=1
exec "$build/src/app/zarnova" "$@"
