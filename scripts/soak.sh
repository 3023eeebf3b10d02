#!/usr/bin/env bash
# Long run through the library: P producers and C consumers, each on its own
# connection, move N messages through one queue of a quorix-provider started
# here (loopback only). Fails if a message is lost or duplicated, or if the
# client's or the provider's resident memory grows after warm-up.
#   scripts/soak.sh [-p P] [-c C] [-n N] [-- more qjms-soak options]
# Defaults: 2 producers, 2 consumers, 1,000,000 messages. BUILD_DIR (default
# build) is where it builds quorix-provider and qjms-soak if needed.
set -euo pipefail
cd "$(dirname "$0")/.."
producers=2 consumers=2 messages=1000000
while getopts "p:c:n:h" opt; do
  case "$opt" in
    p) producers="$OPTARG" ;;
    c) consumers="$OPTARG" ;;
    n) messages="$OPTARG" ;;
    *) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; [ "$opt" = h ] && exit 0 || exit 2 ;;
  esac
done
shift $((OPTIND - 1))
build="${BUILD_DIR:-build}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja >/dev/null
fi
cmake --build "$build" -j2 --target quorix-provider qjms-soak >/dev/null

work=$(mktemp -d)
provider_pid=""
cleanup() {
  if [ -n "$provider_pid" ] && kill -0 "$provider_pid" 2>/dev/null; then
    kill -TERM "$provider_pid" 2>/dev/null || true
    wait "$provider_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

"$build/provider/quorix-provider" --endpoint giop:tcp:127.0.0.1:0 --ior-file "$work/provider.ior" \
  >/dev/null 2>"$work/provider.log" &
provider_pid=$!
for _ in $(seq 1 300); do
  [ -s "$work/provider.ior" ] && break
  kill -0 "$provider_pid" 2>/dev/null || { cat "$work/provider.log" >&2; exit 1; }
  sleep 0.1
done
[ -s "$work/provider.ior" ] || { echo "soak: the provider did not start" >&2; exit 1; }

status=0
ORBendPoint=giop:tcp:127.0.0.1: "$build/tools/soak/qjms-soak" --ior "$work/provider.ior" \
  -p "$producers" -c "$consumers" -n "$messages" --provider-pid "$provider_pid" "$@" || status=$?

kill -TERM "$provider_pid"
provider_status=0
wait "$provider_pid" || provider_status=$?
provider_pid=""
if [ "$provider_status" -ne 0 ]; then
  echo "soak: the provider exited with status $provider_status" >&2
  cat "$work/provider.log" >&2
  [ "$status" -ne 0 ] || status=1
fi
exit "$status"
