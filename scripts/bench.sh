#!/usr/bin/env bash
# Runs every benchmark binary of a build folder.
set -euo pipefail
dir="$1"
for b in "$dir"/bench/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b"
done
