#!/usr/bin/env bash
# Runs every fuzz target at once, one core each, for the given number of
# seconds, and reports per target the inputs run and the coverage reached.
#   tools/run-fuzz.sh BUILD_DIR SECONDS          fuzz; fails when a target finds a fault
#   tools/run-fuzz.sh --merge BUILD_DIR          shrink what was found into fuzz/corpus/
#                                                (seed-* and regression-* files are kept)
# FUZZ_TARGETS="screen_setup ..." picks some of the targets.
# The committed corpus (fuzz/corpus/<target>) seeds every run, so an input
# that once failed fails again at once; the XML targets are also seeded with
# the real host files when ../shared/host-samples is found. New inputs go to
# BUILD_DIR/corpus/<target>, failing inputs to BUILD_DIR/artifacts/<target>.
set -euo pipefail
cd "$(dirname "$0")/.."

merge=0
if [ "${1:-}" = "--merge" ]; then
    merge=1
    shift
fi
build="$1"
seconds="${2:-600}"

targets="${FUZZ_TARGETS:-screen_setup document_values triangulator}"
xml_targets=" screen_setup document_values "

# Like the tests: beside the checkout, else further up (a git worktree).
host_samples=""
folder="$(pwd)"
while [ "$folder" != "/" ]; do
    if [ -d "$folder/shared/host-samples" ]; then
        host_samples="$folder/shared/host-samples"
        break
    fi
    folder="$(dirname "$folder")"
done

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$(pwd)/tools/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

if [ "$merge" -eq 1 ]; then
    # Keeps the committed corpus small: only inputs that add coverage, and
    # none of the big host files (they are found beside the checkout).
    mkdir -p "$build/logs"
    for target in $targets; do
        merged="$(mktemp -d)"
        # The hand-written seeds and the inputs that once failed stay whether
        # or not they still add coverage; of the rest, only inputs that add
        # coverage beyond them come in.
        cp fuzz/corpus/"$target"/seed-* fuzz/corpus/"$target"/regression-* "$merged"/ 2>/dev/null || true
        max_len=8192
        if [[ "$xml_targets" != *" $target "* ]]; then
            max_len=24576
        fi
        "$build/fuzz/fuzz_$target" -merge=1 -max_len="$max_len" "$merged" "fuzz/corpus/$target" "$build/corpus/$target" \
            > "$build/logs/$target.merge.log" 2>&1
        rm -f fuzz/corpus/"$target"/*
        cp "$merged"/* "fuzz/corpus/$target/"
        rm -rf "$merged"
        echo "$target: $(ls "fuzz/corpus/$target" | wc -l) inputs, $(du -sk "fuzz/corpus/$target" | cut -f1) kB"
    done
    exit 0
fi

mkdir -p "$build/logs"
pids=""
for target in $targets; do
    mkdir -p "$build/corpus/$target" "$build/artifacts/$target"
    seeds=("fuzz/corpus/$target")
    options=()
    if [[ "$xml_targets" == *" $target "* ]]; then
        # Inputs of a few host presets' size: the largest real file only
        # repeats the same elements, and mutating it is slow.
        options+=(-max_len=32768)
        if [ -n "$host_samples" ]; then
            seeds+=("$host_samples")
        fi
    else
        # Room for rings of the triangulator's largest size.
        options+=(-max_len=24576)
    fi
    # -timeout is the time limit of a single input: a slower one is a hang.
    "$build/fuzz/fuzz_$target" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target/" ${options[@]+"${options[@]}"} \
        "$build/corpus/$target" "${seeds[@]}" > "$build/logs/$target.log" 2>&1 &
    pids="$pids $!"
done

status=0
set -- $pids
for target in $targets; do
    pid="$1"
    shift
    if wait "$pid"; then result="ok"; else result="FAILED"; status=1; fi
    log="$build/logs/$target.log"
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    coverage="$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n 1 || true)"
    echo "$target: $result, ${runs:-?} runs, ${coverage:-no coverage line} (log: $log)"
    if [ "$result" = "FAILED" ]; then
        grep -E 'ERROR|SUMMARY|fuzz check failed|Test unit written' "$log" | head -n 10 || true
    fi
done
exit "$status"
