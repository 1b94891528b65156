#!/usr/bin/env bash
# Runs the whole plain suite N times (default 10) on a loaded machine: while
# it runs, BUSY processes spin (default: as many as there are cores), and each
# run uses every core as well (ctest -j$(nproc)). Tests that lean on real time
# show here whether their margins hold. Builds the plain build first.
#
#   scripts/soak.sh [N [BUSY]]
#   scripts/soak.sh 20 $((2 * $(nproc)))    twice as many busy processes
#
# Prints the failed tests of each failed run (the whole output is kept in
# build/soak/run-<i>.log) and at the end "<passed> passed, <failed> failed",
# counted in runs.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-10}
cores=$(nproc)
spinners=${2:-$cores}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
fi
cmake -S . -B build -G Ninja -DTAVIX_WERROR=ON "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$cores" >/dev/null

# Every process this script starts is ended on every way out; the suite runs
# in the background and is waited for, so that a signal is acted on at once.
busy=()
suite=
stop_busy() {
  [ -z "$suite" ] || kill "$suite" 2>/dev/null || true
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${busy[@]}" $suite; do wait "$pid" 2>/dev/null || true; done
  busy=()
  suite=
}
trap stop_busy EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP
for _ in $(seq "$spinners"); do
  bash -c 'while :; do :; done' &
  busy+=("$!")
done

mkdir -p build/soak
passed=0
failed=0
for i in $(seq "$runs"); do
  log=build/soak/run-$i.log
  ctest --test-dir build --output-on-failure -j "$cores" --timeout 300 >"$log" 2>&1 &
  suite=$!
  status=0
  wait "$suite" || status=$?
  suite=
  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "run $i failed:"
    sed -n '/tests failed out of/,$p' "$log" | grep -E '^\s+[0-9]+ - ' || tail -n 5 "$log"
  fi
done
stop_busy
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
