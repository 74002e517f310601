#!/usr/bin/env bash
# Builds the fuzz targets with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for its share of the time.
#
#   tests/fuzz/run_fuzz.sh [seconds] [target...]
#
# seconds: the total time for all targets (default 60). Targets: the names
# in TARGETS below (default all). Build output, the working corpus and any
# crashing input go to $STIKKEL_FUZZ_OUT (default build/fuzz). Exits non-zero
# on any crash, hang, leak or failed property.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-60}
shift || true
out=${STIKKEL_FUZZ_OUT:-$root/build/fuzz}
cxx=${CXX_FUZZ:-clang++}

# target name -> the X-free sources it needs besides its own file.
declare -A TARGETS=(
  [note_file]="src/storage/note_file.cc src/model/note.cc src/model/utf8.cc"
  [path_rules]="src/tools/path_rules.cc src/storage/atomic_file.cc src/storage/file_io.cc"
  [shell_command]="src/tools/shell_command.cc src/storage/file_io.cc"
)

if ! command -v "$cxx" >/dev/null; then
  echo "run_fuzz: $cxx not found (install clang and libclang-rt-14-dev)" >&2
  exit 1
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(printf '%s\n' "${!TARGETS[@]}" | sort)
fi
share=$(( seconds / ${#targets[@]} ))
[ "$share" -ge 1 ] || share=1
mkdir -p "$out"

status=0
for t in "${targets[@]}"; do
  if [ -z "${TARGETS[$t]+x}" ]; then
    echo "run_fuzz: no target $t" >&2
    exit 2
  fi
  bin=$out/${t}_fuzz
  srcs=()
  for s in ${TARGETS[$t]}; do srcs+=("$root/$s"); done
  "$cxx" -std=c++17 -g -O1 -Wall -Wextra -Werror \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root/src" "$here/${t}_fuzz.cc" "${srcs[@]}" -o "$bin"
  corpus=$out/corpus/$t
  artifacts=$out/artifacts/$t
  mkdir -p "$corpus" "$artifacts"
  seeds=()
  [ -d "$here/corpus/$t" ] && seeds+=("$here/corpus/$t")
  dict=()
  [ -f "$here/$t.dict" ] && dict+=("-dict=$here/$t.dict")
  log=$out/$t.log
  echo "run_fuzz: $t for ${share}s"
  set +e
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:quarantine_size_mb=64 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$bin" -max_total_time="$share" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "${dict[@]}" \
    "$corpus" "${seeds[@]}" >"$log" 2>&1
  rc=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  echo "run_fuzz: $t: ${runs:-?} executions in ${share}s, exit $rc"
  if [ $rc -ne 0 ]; then
    tail -n 60 "$log" >&2
    status=1
  fi
done
exit $status
