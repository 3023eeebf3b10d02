#!/usr/bin/env bash
# Installs dependencies, builds everything and runs every test.
#   scripts/test.sh                  normal build in build/
#   scripts/test.sh address          ASan+UBSan build in build-address/
#   scripts/test.sh thread           TSan build in build-thread/
#   scripts/test.sh coverage         instrumented build in build-coverage/; prints line and
#                                    branch coverage of src/ and provider/, and every
#                                    translation-table row of the library no test reached
#   scripts/test.sh stress           normal build; the suite 20 times in a row (ctest -j8)
#                                    while another build loads the machine
# Add --clean to build from an empty build directory.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=""
clean=0
for arg in "$@"; do
  case "$arg" in
    address|thread|coverage|stress) mode="$arg" ;;
    --clean) clean=1 ;;
    *) echo "usage: $0 [address|thread|coverage|stress] [--clean]" >&2; exit 2 ;;
  esac
done
case "$mode" in
  address|thread|coverage) build="build-$mode" ;;
  *) build=build ;;
esac
config=(-G Ninja)
case "$mode" in
  address|thread) config+=(-DQJMS_SANITIZE="$mode") ;;
  coverage) config+=(-DQJMS_COVERAGE=ON -DCMAKE_BUILD_TYPE=Debug) ;;
  *) config+=(-DQJMS_SANITIZE=) ;;
esac

scripts/install-deps.sh
[ "$clean" -eq 1 ] && rm -rf "$build"
cmake -S . -B "$build" "${config[@]}"
cmake --build "$build" -j2

case "$mode" in
  stress)
    # A second tree rebuilt over and over keeps both cores busy while the suite repeats.
    load=build-stress-load
    cmake -S . -B "$load" -G Ninja -DQJMS_BUILD_TESTS=OFF >/dev/null
    ( while :; do cmake --build "$load" --clean-first -j2 >/dev/null 2>&1 || sleep 1; done ) &
    loader=$!
    trap 'kill "$loader" 2>/dev/null; pkill -P "$loader" 2>/dev/null || true' EXIT
    ctest --test-dir "$build" --output-on-failure -j8 --timeout 600 --repeat until-fail:20
    ;;
  coverage)
    find "$build" -name '*.gcda' -delete
    export QJMS_ROW_TRACE_FILE="$PWD/$build/rows.trace"
    rm -f "$QJMS_ROW_TRACE_FILE"
    status=0
    ctest --test-dir "$build" --output-on-failure -j2 --timeout 600 || status=$?
    for tree in src provider; do
      echo "== coverage of $tree/"
      gcovr -r . --object-directory "$build" -f "$tree/" --exclude-unreachable-branches \
            --exclude-throw-branches --print-summary -o "$build/coverage-$tree.txt" | tail -n 3
    done
    echo "(per-file figures: $build/coverage-src.txt, $build/coverage-provider.txt)"
    scripts/uncovered-rows.sh "$QJMS_ROW_TRACE_FILE"
    exit "$status"
    ;;
  *)
    ctest --test-dir "$build" --output-on-failure -j2 --timeout 300
    ;;
esac
