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
log="$build/bench-build.log"
mkdir -p "$build"
echo "Building in $build/ (log: $log) ..."
if ! { cmake -S . -B "$build" -G Ninja -DQJMS_BUILD_BENCHMARKS=ON &&
       cmake --build "$build" -j2 --target quorix-provider transport; } >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  echo "Build failed; see $log" >&2
  exit 1
fi

work=$(mktemp -d)
server=""
cleanup() {
  if [ -n "$server" ] && kill -0 "$server" 2>/dev/null; then
    kill -TERM "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

ior="$work/provider.ior"
# A loopback endpoint: the provider listens on a Unix-domain socket beside it.
"$build/provider/quorix-provider" --endpoint giop:tcp:127.0.0.1:0 --ior-file "$ior" \
  --ping-interval 0 >"$work/provider.out" 2>"$work/provider.err" &
server=$!
for _ in $(seq 1 100); do
  [ -s "$ior" ] && break
  kill -0 "$server" 2>/dev/null || { cat "$work/provider.err" >&2; exit 1; }
  sleep 0.1
done
[ -s "$ior" ] || { echo "quorix-provider wrote no reference file" >&2; exit 1; }

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
