#!/usr/bin/env bash
# Starts the instrument's window (used by `make run`): run.sh PROGRAM [OPTIONS...]
#
# Without options it looks for a sound-card input first: when the machine lists none, the window
# starts with the built-in demo adaptor (--demo), so that live readings show at once. Options
# given are passed on unchanged. A one-line note says which source was chosen.
set -euo pipefail

if [[ $# -lt 1 ]]; then
    echo "usage: $0 PROGRAM [OPTIONS...]" >&2
    exit 2
fi
exe="$1"
shift

if [[ $# -gt 0 ]]; then
    echo "run.sh: starting ac-wattmeter with the options given: $*"
    exec "$exe" "$@"
fi

# The listing talks to the audio system only; its messages are of no use here.
devices="$("$exe" --list-devices 2>/dev/null || true)"
if [[ -z "$devices" ]]; then
    echo "run.sh: no sound-card input found; starting with the demo adaptor (--demo)"
    exec "$exe" --demo
fi

count="$(printf '%s\n' "$devices" | wc -l)"
echo "run.sh: ${count} sound-card input(s) found; starting on the sound card chosen" \
    "under Soundcard Setup (press START to measure)"
exec "$exe"
