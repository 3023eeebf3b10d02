#!/usr/bin/env bash
# Builds the benchmarks, starts one quorix-provider on loopback (TCP and a
# Unix-domain socket), and prints the library against the bare transport:
# the rows over TCP, the rows over the Unix socket, memory over a million
# messages and the provider's scaling. See bench/README.md.
#   scripts/bench.sh               everything (a few minutes)
#   scripts/bench.sh --quick       smaller runs, for a first look
#   scripts/bench.sh --callgrind   client instructions per call under valgrind
# It builds in build/, beside scripts/test.sh (QJMS_BUILD_DIR chooses another).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QJMS_BUILD_DIR:-build}
quick=()
callgrind=0
for arg in "$@"; do
  case "$arg" in
    --quick) quick=(--quick) ;;
    --callgrind) callgrind=1 ;;
    *) echo "usage: $0 [--quick] [--callgrind]" >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh
. scripts/provider-lib.sh
log="$build/bench-build.log"
echo "Building in $build/ (log: $log) ..."
build_quietly "$log" -DQJMS_BUILD_BENCHMARKS=ON -- quorix-provider transport
start_provider --ping-interval 0

bench="$build/bench/transport/transport"
echo "$(date -u '+%Y-%m-%d %H:%M UTC'); $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'); load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "quorix-provider pid $server; client and provider on this machine"
if [ "$callgrind" -eq 1 ]; then
  "$bench" --reference "$ior" --callgrind
  exit 0
fi
"$bench" --reference "$ior" --transport tcp "${quick[@]}"
"$bench" --reference "$ior" --transport unix "${quick[@]}"
if [ ${#quick[@]} -eq 0 ]; then
  "$bench" --reference "$ior" --memory
else
  "$bench" --reference "$ior" --memory --messages 100000
fi
"$bench" --reference "$ior" --scaling --provider-pid "$server" "${quick[@]}"
echo
echo "load after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
