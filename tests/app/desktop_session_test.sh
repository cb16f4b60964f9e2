#!/usr/bin/env bash
# The app on a real X display with a tray host: the main window maps, the tray icon is embedded,
# clicking it opens the panel, and Ctrl+, opens the settings window.
# Usage: desktop_session_test.sh <zarnova executable>
set -euo pipefail
app=$1
if [ -z "${DISPLAY:-}" ]; then echo "SKIP: no X display"; exit 0; fi

home=$(mktemp -d)
cleanup() { kill "${app_pid:-}" "${tray_pid:-}" 2>/dev/null || true; rm -rf "$home"; }
trap cleanup EXIT

fail() { echo "FAIL: $*"; xwininfo -root -tree | grep -E 'Zarnova|trayer|panel' || true; exit 1; }
# Waits up to 15 s for a visible window whose name matches, printing its id.
wait_window() {
  for _ in $(seq 1 60); do
    if id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [ -n "$id" ]; then
      echo "$id"; return 0
    fi
    sleep 0.25
  done
  return 1
}
count_windows() { xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l; }

trayer --edge top --align right --widthtype pixel --width 120 --height 28 >/dev/null 2>&1 &
tray_pid=$!
sleep 0.5

HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config XDG_CACHE_HOME=$home/cache \
  QT_QPA_PLATFORM=xcb QT_QUICK_BACKEND=software "$app" >"$home/app.log" 2>&1 &
app_pid=$!

main=$(wait_window '^Zarnova$') || fail "main window did not appear"
echo "main window: $main"

panel=$(xwininfo -root -tree | awk '/"panel": \("panel" "trayer"\)/ {print $1; exit}')
[ -n "$panel" ] || fail "trayer did not start"
icon_line=""
for _ in $(seq 1 40); do
  icon_line=$(xwininfo -tree -id "$panel" | grep '("zarnova" "Zarnova")' || true)
  [ -n "$icon_line" ] && break
  sleep 0.25
done
[ -n "$icon_line" ] || fail "no tray icon embedded in the tray host"
echo "tray icon: $icon_line"

# Absolute position of the icon's centre, from "WxH+x+y  +absx+absy".
read -r w h ax ay < <(echo "$icon_line" | sed -E 's/.* ([0-9]+)x([0-9]+)\+-?[0-9]+\+-?[0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\1 \2 \3 \4/')
before=$(count_windows '^Zarnova$')
xdotool mousemove $((ax + w / 2)) $((ay + h / 2)) click 1
for _ in $(seq 1 40); do
  [ "$(count_windows '^Zarnova$')" -gt "$before" ] && break
  sleep 0.25
done
[ "$(count_windows '^Zarnova$')" -gt "$before" ] || fail "clicking the tray icon did not open the panel"
echo "panel opened"

xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool key --window "$main" --clearmodifiers ctrl+comma
wait_window '^Zarnova Settings$' >/dev/null || fail "Ctrl+, did not open the settings window"
echo "settings window opened"

kill -0 "$app_pid" || fail "the app exited"
echo "PASS"
