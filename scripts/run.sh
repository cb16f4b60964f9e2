#!/usr/bin/env bash
# scripts/run.sh [app args...]: set up, build, start the local store and the app against it.
# The store's output (sign-in codes and links included) shows in this terminal; quitting the
# app stops the store. Its data (catalog, users, orders) stays in ~/.local/share/zn-localstore.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
"$root/scripts/build.sh" "$build"
export QTWEBENGINE_DISABLE_SANDBOX=1
ZN_LOCALSTORE=$build/localstore/zn-localstore \
    "$root/localstore/with-store.sh" -- "$build/src/app/zarnova" "$@"
