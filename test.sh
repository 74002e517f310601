#!/usr/bin/env bash
# Set-up, build and every test: unit, x11 and e2e; then unit and x11 again
# under AddressSanitizer and UndefinedBehaviorSanitizer.
#
# The sanitizer build compiles at the lowest priority while the tests of the
# normal build run: those mostly wait on their X servers, and keep the CPU
# first whenever they want it. Whatever is left of it when they end is built
# at the normal priority. The e2e scripts run side by side, each on its own
# Xvfb with its own temporary directories; STIKKEL_TEST_JOBS sets how many
# tests run at once (default: twice the number of processors).
set -euo pipefail
STIKKEL_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$STIKKEL_ROOT/scripts/setup.sh"
stikkel_install_packages
stikkel_build "$STIKKEL_ROOT/build" all -DSTIKKEL_TESTS=ON -DSTIKKEL_SANITIZE=OFF

jobs=${STIKKEL_TEST_JOBS:-$(( $(nproc) * 2 ))}
asan_flags=(-DSTIKKEL_TESTS=ON -DSTIKKEL_SANITIZE=ON)
cmake -S "$STIKKEL_ROOT" -B "$STIKKEL_ROOT/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${asan_flags[@]}" >/dev/null
# In a session of its own, so that it can be stopped with all its compilers.
setsid nice -n 19 cmake --build "$STIKKEL_ROOT/build-asan" -j "$(nproc)" >"$STIKKEL_ROOT/build/asan-build.log" 2>&1 &
asan_build=$!

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
ctest --test-dir "$STIKKEL_ROOT/build" --output-on-failure -j "$jobs" || status=1
# make keeps every object it finished and goes on from there.
kill -TERM -- "-$asan_build" 2>/dev/null || true
wait "$asan_build" || true
stikkel_build "$STIKKEL_ROOT/build-asan" all "${asan_flags[@]}"
ctest --test-dir "$STIKKEL_ROOT/build-asan" --output-on-failure -j "$(nproc)" -L 'unit|x11' || status=1
if [ $status -ne 0 ]; then echo "test.sh: FAILED" >&2; fi
exit $status
