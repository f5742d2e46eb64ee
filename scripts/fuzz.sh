#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset: clang, AddressSanitizer, UBSan) and runs each for
# a bounded time on a copy of its seed corpus, so the corpus in fuzz/corpus is never modified.
# Fails when any target reports a crash, a leak, a sanitizer finding, a timeout or running out
# of memory; the input that caused it is kept under <build>/fuzz-artifacts/<target>/.
#
#   ACW_FUZZ_SECONDS    seconds per target (default 60)
#   ACW_FUZZ_JOBS       targets run at the same time (default 2)
#   ACW_FUZZ_BUILD_DIR  build folder (default build/fuzz)
#   ACW_FUZZ_TARGETS    targets to run (default: all four)
#
# Prints the number of executions of every target at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${ACW_FUZZ_SECONDS:-60}"
jobs="${ACW_FUZZ_JOBS:-2}"
build="${ACW_FUZZ_BUILD_DIR:-build/fuzz}"
targets=(${ACW_FUZZ_TARGETS:-fuzz_settings fuzz_reference fuzz_engine fuzz_recording})

# Longest input per target: a few lines of text, or one recording or buffer's worth of bytes.
max_len() {
    case "$1" in
        fuzz_engine) echo 16401 ;;    # two divisors, the run byte and 8192 samples
        fuzz_recording) echo 40000 ;; # a header and one block of 32-bit float frames
        *) echo 4096 ;;
    esac
}

bash scripts/setup.sh
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

work="$(mktemp -d "${TMPDIR:-/tmp}/acw-fuzz.XXXXXX")"
trap 'rm -rf "$work"' EXIT
artifacts="$build/fuzz-artifacts"

run_target() {
    local t="$1"
    local corpus="$work/$t-corpus"
    mkdir -p "$corpus" "$artifacts/$t"
    cp fuzz/corpus/"${t#fuzz_}"/* "$corpus"/
    local rc=0
    TMPDIR="$work" ASAN_OPTIONS="detect_leaks=1:abort_on_error=0" \
        UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        "$build/fuzz/$t" -max_total_time="$seconds" -max_len="$(max_len "$t")" \
        -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$t/" "$corpus" >"$work/$t.log" 2>&1 || rc=$?
    echo "$rc" >"$work/$t.rc"
}

running=0
for t in "${targets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n || true
        running=$((running - 1))
    fi
    echo "== $t: ${seconds} s"
    run_target "$t" &
    running=$((running + 1))
done
wait

failed=0
summary=""
for t in "${targets[@]}"; do
    rc="$(cat "$work/$t.rc")"
    log="$work/$t.log"
    execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    if [ "$rc" -ne 0 ] || grep -qE "ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:" "$log"; then
        echo "== $t FAILED (exit $rc); input kept in $artifacts/$t/; end of its log:"
        tail -n 60 "$log"
        failed=1
        summary+="$t: FAILED after ${execs:-?} executions"$'\n'
    else
        summary+="$t: ${execs:-?} executions in ${seconds} s"$'\n'
    fi
done

echo "== fuzz executions"
printf '%s' "$summary"
exit "$failed"
