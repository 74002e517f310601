#!/usr/bin/env bash
# Set-up, build and every test: unit, x11 and e2e; then unit and x11 again
# under AddressSanitizer and UndefinedBehaviorSanitizer.
#
# The sanitizer build compiles at the lowest priority while the tests of the
# normal build run: those mostly wait on their X servers, and keep the CPU
# first whenever they want it. The e2e scripts run side by side, each on its
# own Xvfb with its own temporary directories; STIKKEL_TEST_JOBS sets how
# many tests run at once (default: twice the number of processors).
set -euo pipefail
STIKKEL_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$STIKKEL_ROOT/scripts/setup.sh"
stikkel_install_packages
stikkel_build "$STIKKEL_ROOT/build" all -DSTIKKEL_TESTS=ON -DSTIKKEL_SANITIZE=OFF

jobs=${STIKKEL_TEST_JOBS:-$(( $(nproc) * 2 ))}
asan_log="$STIKKEL_ROOT/build/asan-build.log"
( renice -n 19 -p "$BASHPID" >/dev/null
  stikkel_build "$STIKKEL_ROOT/build-asan" all -DSTIKKEL_TESTS=ON -DSTIKKEL_SANITIZE=ON ) >"$asan_log" 2>&1 &
asan_build=$!

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
ctest --test-dir "$STIKKEL_ROOT/build" --output-on-failure -j "$jobs" || status=1
if wait "$asan_build"; then
  tail -n 3 "$asan_log"
  ctest --test-dir "$STIKKEL_ROOT/build-asan" --output-on-failure -j "$(nproc)" -L 'unit|x11' || status=1
else
  cat "$asan_log" >&2
  echo "test.sh: the sanitizer build failed" >&2
  status=1
fi
if [ $status -ne 0 ]; then echo "test.sh: FAILED" >&2; fi
exit $status
