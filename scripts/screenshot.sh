#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the README's screenshot: starts the window on the demo adaptor under a virtual X server,
# presses START, waits until the readings have settled (both lamps green), and grabs the window.
#
#   scripts/screenshot.sh [PROGRAM] [OUTPUT]
#
# PROGRAM defaults to build/release/ac-wattmeter (`make run` builds it), OUTPUT to
# docs/screenshot.png. The window gets a settings file of its own in a temporary folder, so the
# user's settings are neither read nor changed. Needs xvfb-run (xvfb), xwininfo (x11-utils),
# xdotool and import (imagemagick); it is not part of CI.
#
#   ACW_SCREENSHOT_WAIT  seconds between START and the grab (default 4: the lamps turn green
#                        after three buffers, 1.1 s, once the demo adaptor runs)
set -euo pipefail
cd "$(dirname "$0")/.."

program="${1:-build/release/ac-wattmeter}"
output="${2:-docs/screenshot.png}"
wait_s="${ACW_SCREENSHOT_WAIT:-4}"

for tool in xvfb-run xwininfo xdotool import; do
    if ! command -v "$tool" >/dev/null; then
        echo "screenshot.sh: $tool is missing (apt-get install xvfb x11-utils xdotool imagemagick)" >&2
        exit 2
    fi
done
if [ ! -x "$program" ]; then
    echo "screenshot.sh: no program at $program (make run builds build/release/ac-wattmeter)" >&2
    exit 2
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/acw-screenshot.XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$(dirname "$output")"

# Runs inside the virtual display: the window, START, the wait, the grab by the window's title.
cat >"$work/grab.sh" <<'INNER'
set -euo pipefail
program="$1" output="$2" wait_s="$3" work="$4"
XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb \
    "$program" --demo --settings "$work/wattmeter.ini" >"$work/program.log" 2>&1 &
pid=$!
id=""
for _ in $(seq 50); do
    id="$(xwininfo -root -tree | awk '/"AC-Wattmeter"/ { print $1; exit }')"
    [ -n "$id" ] && break
    sleep 0.2
done
if [ -z "$id" ]; then
    echo "screenshot.sh: the window did not appear; its output:" >&2
    cat "$work/program.log" >&2
    kill "$pid" 2>/dev/null || true
    exit 1
fi
sleep 1
# START sits at (368, 372) in the window's client area of 499 x 429 pixels, which ends at the
# bottom of the window (the menu bar is above it): 57 pixels up from the bottom edge.
height="$(xwininfo -id "$id" | awk '/Height:/ { print $2 }')"
xdotool mousemove --window "$id" 368 $((height - 57)) click 1
sleep "$wait_s"
import -window "$id" "$output"
kill "$pid"
wait "$pid" 2>/dev/null || true
INNER

xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24" \
    bash "$work/grab.sh" "$program" "$(realpath -m "$output")" "$wait_s" "$work"
echo "screenshot.sh: wrote $output"
