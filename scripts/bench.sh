#!/usr/bin/env bash
# Runs every benchmark binary of a build folder (default build/release), one after the other,
# and goes on when one fails; the exit status says whether all of them ran.
#
# The machine may be shared: the load average is printed before and after each benchmark, and
# the quick ones (measure, scope, history) run with repetitions (ACW_BENCH_REPETITIONS, default
# 5), of which the medians count; the others set their own. ACW_BENCH_CAPTURE_SECONDS,
# ACW_SOAK_BUFFERS and ACW_BENCH_OUTAGE_SECONDS shorten the long ones.
# Benchmark names given after the folder (e.g. "measure headless") run only those.
set -uo pipefail
dir="${1:-build/release}"
shift || true
repetitions="${ACW_BENCH_REPETITIONS:-5}"

if ! ls "$dir"/bench/bench_* >/dev/null 2>&1; then
    echo "bench: no benchmarks in $dir/bench (build them: cmake --build $dir --target benchmarks)" >&2
    exit 1
fi

load() { cut -d' ' -f1-3 /proc/loadavg; }

failed=()
for b in "$dir"/bench/bench_*; do
    [ -x "$b" ] || continue
    name="$(basename "$b")"
    if [ $# -gt 0 ]; then
        wanted=false
        for w in "$@"; do [ "$name" = "bench_$w" ] && wanted=true; done
        $wanted || continue
    fi
    args=()
    case "$name" in
        bench_measure | bench_scope | bench_history)
            args=(--benchmark_repetitions="$repetitions" --benchmark_display_aggregates_only=true)
            ;;
    esac
    echo "== $name (load average $(load))"
    if ! "$b" "${args[@]}"; then
        failed+=("$name")
    fi
    echo "== $name done (load average $(load))"
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "bench: failed: ${failed[*]}" >&2
    exit 1
fi
