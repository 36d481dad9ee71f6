#!/bin/sh
# Runs the ThreadSanitizer build's tests (the preview's and the background save's threading tests),
# each in its own process on its own virtual display, like the main suite.
# A reported race fails the test.
set -eu
build="$1"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:exitcode=66:second_deadlock_stack=1:suppressions=$(pwd)/tools/tsan.supp}"
exec ctest --test-dir "$build" --output-on-failure -j "$(nproc)" ${CTEST_ARGS:-}
