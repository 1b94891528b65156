#!/usr/bin/env bash
# Sets up, builds and starts Tavix, or Plomvare with "scripts/run.sh plomvare".
# Only the program is built (in build-run/, without tests and benchmarks).
# Without port access the programs run on the simulated adapter.
set -euo pipefail
cd "$(dirname "$0")/.."

program="${1:-tavix}"
shift || true
case "$program" in
  tavix) target=Tavix ;;
  plomvare) target=Plomvare ;;
  *) echo "usage: scripts/run.sh [tavix|plomvare] [arguments]" >&2; exit 2 ;;
esac

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: $target needs a graphical session (DISPLAY or WAYLAND_DISPLAY)." >&2
  exit 1
fi

scripts/setup.sh

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
fi
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBUILD_TESTING=OFF -DTAVIX_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build build-run -j "$(nproc)" --target "$target"

exec "build-run/bin/$target" "$@"
