#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs them side by side for a given time.
#
#   scripts/fuzz.sh [seconds] [target ...]     default: 30 s, every target
#   scripts/fuzz.sh 3600 keyfile cutlist       a longer run of two targets
#   scripts/fuzz.sh merge [target ...]         keeps what the runs found
#
# Each target starts from its kept corpus in fuzz/corpus/<target> (seeded from
# tests/data); what a run finds grows in build-fuzz/corpus/<target>, and
# "merge" adds the inputs among them that reach new code to the kept corpus.
# An input that fails is kept as build-fuzz/findings/<target>-crash-... and
# can be replayed with build-fuzz/fuzz/fuzz_<target> <file>. The targets'
# scratch files live in a RAM-backed folder that is removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

merge=0
if [ "${1:-}" = merge ]; then
  merge=1
  shift
  seconds=0
else
  seconds=${1:-30}
  shift || true
fi
all=(settings keyfile cutlist recorder_ir remote_file comstore serial_stream timecode
  analytic wav_name registry divisor recorder_append)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
fi
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DCMAKE_CXX_COMPILER=clang++ -DTAVIX_FUZZ=ON -DTAVIX_WITH_QT=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
  >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

shm=/dev/shm
[ -d "$shm" ] && [ -w "$shm" ] || shm=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$shm/tavix-fuzz.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ $merge -eq 1 ]; then
  for t in "${targets[@]}"; do
    mkdir -p "fuzz/corpus/$t" "build-fuzz/corpus/$t"
    before=$(find "fuzz/corpus/$t" -type f | wc -l)
    TMPDIR="$scratch" build-fuzz/fuzz/fuzz_"$t" -merge=1 "fuzz/corpus/$t" "build-fuzz/corpus/$t" \
      >"build-fuzz/$t-merge.log" 2>&1
    echo "fuzz $t: kept corpus $before -> $(find "fuzz/corpus/$t" -type f | wc -l) inputs"
  done
  exit 0
fi

mkdir -p build-fuzz/findings
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$t"
  TMPDIR="$scratch" ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1" \
    build-fuzz/fuzz/fuzz_"$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1536 \
    -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$t-" \
    "build-fuzz/corpus/$t" "fuzz/corpus/$t" >"build-fuzz/$t.log" 2>&1 &
  pids+=("$!")
done

failed=0
for i in "${!targets[@]}"; do
  t=${targets[$i]}
  if wait "${pids[$i]}"; then
    echo "fuzz $t: ok, $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "build-fuzz/$t.log" | grep -o '[0-9]*$') runs"
  else
    echo "fuzz $t: FAILED (build-fuzz/$t.log)"
    tail -n 30 "build-fuzz/$t.log"
    failed=1
  fi
done
pids=()
left=$(find "$scratch" -mindepth 1 -maxdepth 1 | wc -l)
[ "$left" -eq 0 ] || echo "fuzz: $left scratch folders left behind by the targets"
exit $failed
