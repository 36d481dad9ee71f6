#!/bin/sh
# Runs the whole test suite under a virtual X display, every test in its own
# process (and so with its own temporary HOME, see tests/support/TestMain.cpp).
set -eu
build="$1"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$(pwd)/tools/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
exec xvfb-run -a -s "-screen 0 1920x1080x24" \
    ctest --test-dir "$build" --output-on-failure -j "$(nproc)" ${CTEST_ARGS:-}
