#!/usr/bin/env bash
# Installs dependencies, builds everything and runs every test.
#   scripts/test.sh                  normal build in build/
#   scripts/test.sh address          ASan+UBSan build in build-address/
#   scripts/test.sh thread           TSan build in build-thread/
# Add --clean to build from an empty build directory.
set -euo pipefail
cd "$(dirname "$0")/.."
sanitize=""
clean=0
for arg in "$@"; do
  case "$arg" in
    address|thread) sanitize="$arg" ;;
    --clean) clean=1 ;;
    *) echo "usage: $0 [address|thread] [--clean]" >&2; exit 2 ;;
  esac
done
build="build${sanitize:+-$sanitize}"
scripts/install-deps.sh
[ "$clean" -eq 1 ] && rm -rf "$build"
cmake -S . -B "$build" -G Ninja -DQJMS_SANITIZE="$sanitize"
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2 --timeout 300
