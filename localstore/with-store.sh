#!/usr/bin/env bash
# localstore/with-store.sh [store flags...] -- command [args...]
# Starts the local store on a free port, exports the ZN_… values it prints (backend URL,
# publishable key, project ref, site URL), runs the command, and stops the store when the
# command ends. The store's output, sign-in e-mails included, stays in this terminal.
# ZN_LOCALSTORE names the executable (default: build/localstore/zn-localstore).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
store=${ZN_LOCALSTORE:-$root/build/localstore/zn-localstore}
store_args=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do store_args+=("$1"); shift; done
[ "${1:-}" = "--" ] && shift
if [ $# -eq 0 ]; then
  echo "usage: $0 [store flags...] -- command [args...]" >&2
  exit 2
fi

fifo=$(mktemp -u)
mkfifo "$fifo"
"$store" --port 0 "${store_args[@]}" > "$fifo" 2>&1 &
store_pid=$!
trap 'kill "$store_pid" 2>/dev/null || true; rm -f "$fifo"' EXIT
exec 3< "$fifo"
while IFS= read -r line <&3; do
  echo "$line"
  case "$line" in
    ZN_*=*) export "${line?}" ;;
    "data folder:"*) break ;;
  esac
done
if [ -z "${ZN_SITE_URL:-}" ]; then
  echo "with-store: the local store did not start" >&2
  exit 1
fi
cat <&3 &
"$@"
