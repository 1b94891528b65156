#!/usr/bin/env bash
# Sets up, builds and runs every test: a plain build (warnings are errors),
# the threaded tests under ThreadSanitizer, the whole suite under
# AddressSanitizer + UndefinedBehaviorSanitizer, every fuzz target for 30 s
# (side by side), and last a Release build with default flags, installed into
# a read-only prefix and started from there. Each stage's time is printed,
# and the slowest tests of each run of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
common=(-G Ninja -DTAVIX_WERROR=ON)
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
fi
# No test takes more than half a minute on an idle machine: one that has not
# ended after this long hangs, and fails by name instead of holding up CI.
test_timeout=300
# The sanitizers' builds are optimised as sanitizers are meant to run (-O1,
# frame pointers for the reports' stacks): unoptimised, the virtual-clock
# sweeps ran thirty times slower than the plain build. Debug keeps Qt's own
# checks in its headers on. GCC's "may be used uninitialized" is wrong there
# about members deep in the standard library's regex; the plain build keeps
# that warning.
sanitizer_flags="-O1 -g -fno-omit-frame-pointer -Wno-maybe-uninitialized"
# Under the sanitizers a process's start and its leak check at exit cost more
# than most tests: there several tests run in one process, one CTest entry
# (cmake/TestSuites.cmake; the plain build keeps one entry per test).
sanitizer_tests=(-DTAVIX_TESTS_PER_SUITE=ON)

# Each stage's time is printed as it ends, and all of them at the end (or at
# the stage that failed), so that a slow stage shows.
stage_name=
stage_start=$SECONDS
stage_times=()
end_stage() {
  [ -n "$stage_name" ] || return 0
  stage_times+=("$(printf '%6d s  %s' $((SECONDS - stage_start)) "$stage_name")")
  echo "=== $stage_name: $((SECONDS - stage_start)) s"
  stage_name=
}
stage() {
  end_stage
  stage_name=$1
  stage_start=$SECONDS
  echo "=== $1"
}
work=
finish() {
  local status=$?
  if [ -n "$stage_name" ]; then
    end_stage
    stage_times[-1]+="  (failed)"
  fi
  echo "=== time per stage"
  printf '%s\n' "${stage_times[@]}"
  printf '%6d s  all\n' "$SECONDS"
  if [ -n "$work" ]; then
    chmod -R u+w "$work"
    rm -rf "$work"
  fi
  return $status
}
trap finish EXIT

# ctest prints each test's time as it ends; the slowest few are repeated
# after the run, where a test that has grown slow shows at once.
run_ctest() {
  local dir=$1
  shift
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout "$test_timeout" "$@" |
    tee "$dir/ctest.log"
  echo "--- slowest tests of $dir"
  sed -nE 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) .* ([0-9.]+) sec$/\2 s  \1/p' "$dir/ctest.log" |
    sort -rn | head -n 5
}

stage "setup"
scripts/setup.sh

stage "plain build"
cmake -S . -B build "${common[@]}" "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
stage "plain tests"
run_ctest build

stage "ThreadSanitizer build (threaded tests)"
cmake -S . -B build-tsan "${common[@]}" "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug \
  -DTAVIX_WITH_QT=OFF -DTAVIX_THREADED_TESTS_ONLY=ON -DTAVIX_BUILD_BENCH=OFF "${sanitizer_tests[@]}" \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread $sanitizer_flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build build-tsan -j "$jobs"
stage "ThreadSanitizer tests"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_ctest build-tsan -L threaded

stage "AddressSanitizer + UndefinedBehaviorSanitizer build"
cmake -S . -B build-asan "${common[@]}" "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug "${sanitizer_tests[@]}" \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all $sanitizer_flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-asan -j "$jobs"
stage "AddressSanitizer + UndefinedBehaviorSanitizer tests"
ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1" run_ctest build-asan

stage "fuzz targets, 30 s each (longer: scripts/fuzz.sh <seconds> [target ...])"
scripts/fuzz.sh 30

# What a packager does: the default flags of a Release build (no -Werror, so a
# new compiler's warnings cannot break it, but it must build), the programs
# only, installed into a prefix.
stage "Release build with default flags, installed"
cmake -S . -B build-release -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release \
  -DBUILD_TESTING=OFF -DTAVIX_BUILD_BENCH=OFF >/dev/null
cmake --build build-release -j "$jobs"
work=$(mktemp -d)
prefix="$work/usr"
cmake --install build-release --prefix "$prefix" >/dev/null
for f in bin/Tavix bin/Plomvare share/plomvare/Plomvare.htm share/plomvare/Plomvarehilfe.htm; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f" >&2; exit 1; }
done

# The installed Tavix from the read-only prefix, in batch mode: it sends one
# key of a key file on the simulated adapter and ends. Its settings live in
# the user's configuration folder; the stored answers spare the first-run
# questions, which nobody could answer here.
home="$work/home"
mkdir -p "$home/.config/tavix" "$home/.local/share"
mkdir -m 700 "$work/runtime"
printf '[Einstellungen]\r\nSprache=1\r\nIR_Einheit=0\r\nBatchDelay_ms=100\r\n[Schnittstelle]\r\nCom_Nr=1\r\n[Timing]\r\nAnfragen_Sec=1000\r\n' \
  >"$home/.config/tavix/Tavix.ini"
# The key sent has a command (a header, one pulse, the closing pause): a key without
# one counts as not sent.
sed 's/^       0  103    0\r$/       1  103    0\r\n    9000  103    1\r\n    4500  103    2\r\n     560  103    3\r\n   40000  103    4\r\n       0  103    5\r/' \
  tests/data/desk/standard.cdx >"$work/keys.cdx"
chmod -R a-w "$prefix"
# Root may write anywhere: the program then runs as nobody.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chmod 755 "$work"
  chown -R nobody "$home" "$work/runtime" "$work/keys.cdx"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
if "${as_user[@]}" touch "$prefix/bin/probe" 2>/dev/null; then
  echo "the install prefix is not read-only for the program" >&2
  exit 1
fi
# The send runs in real time at normal priority: on a busy machine it may
# not go out clean, which the program says on standard error with status 1.
# That is its right answer there; it is tried again, three times at most.
busy_text="IR command not sent cleanly: the computer was too busy"
for attempt in 1 2 3; do
  status=0
  env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" XDG_RUNTIME_DIR="$work/runtime" \
    XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    QT_QPA_PLATFORM=offscreen TAVIX_PORTS=sim \
    timeout -k 5 300 "${as_user[@]}" "$prefix/bin/Tavix" "$work/keys.cdx" "Tun -" \
    2>"$work/stderr" || status=$?
  cat "$work/stderr" >&2
  if [ "$status" -eq 1 ] && grep -qF "$busy_text" "$work/stderr"; then
    echo "attempt $attempt: the machine was too busy for a clean send, and the program said so"
    continue
  fi
  break
done
if [ "$status" -eq 1 ] && grep -qF "$busy_text" "$work/stderr"; then
  echo "the installed Tavix ran in batch mode from a read-only prefix and ended," \
    "reporting that the machine was too busy to send"
elif [ "$status" -ne 0 ]; then
  echo "the installed Tavix did not end cleanly in batch mode (exit status $status;" \
    "124 is the time limit)" >&2
  exit 1
else
  echo "the installed Tavix ran in batch mode from a read-only prefix and ended cleanly"
fi
end_stage
