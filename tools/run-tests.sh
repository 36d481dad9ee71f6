#!/bin/sh
# Runs the whole test suite, every test in its own process with its own
# virtual X display (tools/with-display.sh) and its own temporary HOME
# (tests/support/TestMain.cpp).
set -eu
build="$1"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$(pwd)/tools/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
exec ctest --test-dir "$build" --output-on-failure -j "$(nproc)" ${CTEST_ARGS:-}
