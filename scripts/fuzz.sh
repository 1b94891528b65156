#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs them side by side for a given time.
#
#   scripts/fuzz.sh [seconds] [target ...]     default: 30 s, every target
#   scripts/fuzz.sh 3600 keyfile cutlist       a longer run of two targets
#
# Corpora grow in build-fuzz/corpus/<target> (seeded from tests/data); an
# input that fails is kept as build-fuzz/findings/<target>-crash-... and can be
# replayed with build-fuzz/fuzz/fuzz_<target> <file>.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
shift || true
all=(settings keyfile cutlist recorder_ir remote_file comstore serial_stream timecode)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DTAVIX_FUZZ=ON -DTAVIX_WITH_QT=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
  >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

seeds() {
  case "$1" in
    settings) echo tests/data/ini/* tests/data/playerremote/*.mpx ;;
    keyfile) echo tests/data/desk/*.cdx tests/data/video/*.cdx ;;
    cutlist | timecode) echo tests/data/video/*.lst ;;
    recorder_ir) echo tests/data/video/*.cdx ;;
    remote_file) echo tests/data/playerremote/*.mpx ;;
    comstore) echo tests/data/comport/*.ini ;;
    serial_stream) echo tests/data/playerremote/*.bin ;;
  esac
}

mkdir -p build-fuzz/findings
pids=()
for t in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$t
  mkdir -p "$corpus"
  # shellcheck disable=SC2046
  cp -n $(seeds "$t") "$corpus"/ 2>/dev/null || true
  ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1" \
    build-fuzz/fuzz/fuzz_"$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$t-" "$corpus" \
    >"build-fuzz/$t.log" 2>&1 &
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
exit $failed
