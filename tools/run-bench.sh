#!/bin/sh
# Runs the benchmarks of a build folder (make bench). Every benchmark is
# repeated and reported by its median, mean and spread, followed by one
# "median" line per benchmark to compare from one run to the next. The full
# results also go to BUILD/bench-results.json.
#
# BENCH_ARGS passes further options, e.g. BENCH_ARGS=--benchmark_filter=Drag.
set -eu
build="$1"
binary="$build/bench/corvadine_bench"
repetitions="${BENCH_REPETITIONS:-10}"

# Stage items are JUCE components: give them a display when none is set.
run=""
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
    run="xvfb-run -a"
fi

exec $run "$binary" \
    --benchmark_repetitions="$repetitions" \
    --benchmark_display_aggregates_only=true \
    --benchmark_out="$build/bench-results.json" \
    --benchmark_out_format=json \
    ${BENCH_ARGS:-}
