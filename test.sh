#!/usr/bin/env bash
# Set-up, build and every test: unit, x11 and e2e; then unit and x11 again
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
STIKKEL_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$STIKKEL_ROOT/scripts/setup.sh"
stikkel_install_packages
stikkel_build "$STIKKEL_ROOT/build" all -DSTIKKEL_TESTS=ON -DSTIKKEL_SANITIZE=OFF
stikkel_build "$STIKKEL_ROOT/build-asan" all -DSTIKKEL_TESTS=ON -DSTIKKEL_SANITIZE=ON

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
ctest --test-dir "$STIKKEL_ROOT/build" --output-on-failure -j 2 || status=1
ctest --test-dir "$STIKKEL_ROOT/build-asan" --output-on-failure -j 2 -L 'unit|x11' || status=1
if [ $status -ne 0 ]; then echo "test.sh: FAILED" >&2; fi
exit $status
