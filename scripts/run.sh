#!/usr/bin/env bash
# Sets up, builds (with build/bin/Grelavo.mdb and build/bin/Aide.chm) and starts Grelavo.
# With no display, Grelavo runs under Xvfb and a screenshot of its main window is saved.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/bin/grelavo
fi

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
sleep 1
build/bin/grelavo &
grelavo=$!
trap 'kill $grelavo $xvfb 2>/dev/null || true' INT TERM
# The start window comes first; Escape closes it and the main window follows.
start=$(xdotool search --sync --onlyvisible --name '^Grelavo$' | head -n 1)
sleep 1
xdotool windowfocus --sync "$start" key Escape || true
sleep 2
main=$(xdotool search --onlyvisible --name '^Grelavo$' | head -n 1)
screenshot=build/grelavo-screenshot.png
import -window "$main" "$screenshot"
cat <<MSG
Grelavo is running on the virtual display $display (no display was found).
A screenshot of its main window is in $(pwd)/$screenshot.
Stop it with Ctrl-C or: kill $grelavo $xvfb
On a desktop session, scripts/run.sh opens the real window instead.
MSG
wait "$grelavo" || true
kill "$xvfb" 2>/dev/null || true
