#!/usr/bin/env bash
# Sets up, builds and starts Tavix, or Plomvare with "scripts/run.sh plomvare".
# Without port access the programs run on the simulated adapter.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

program="${1:-tavix}"
shift || true
case "$program" in
  tavix) target=Tavix ;;
  plomvare) target=Plomvare ;;
  *) echo "usage: scripts/run.sh [tavix|plomvare] [arguments]" >&2; exit 2 ;;
esac

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

exe="build/bin/$target"
if [ ! -x "$exe" ]; then
  echo "$target is not built yet in this version; the libraries and tests were built." >&2
  exit 0
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting $target under Xvfb." >&2
  exec xvfb-run -a "$exe" "$@"
fi
exec "$exe" "$@"
