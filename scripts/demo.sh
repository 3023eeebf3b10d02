#!/usr/bin/env bash
# The demo: installs what it needs, builds the reference provider and the
# examples, starts quorix-provider on a free loopback port, runs the examples
# and then qjms, the command-line tool, against it through the provider's
# reference file, then stops the server. Build output goes to
# build/demo-build.log (QJMS_BUILD_DIR chooses another build directory).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QJMS_BUILD_DIR:-build}
log="$build/demo-build.log"

scripts/install-deps.sh
mkdir -p "$build"
echo "Building quorix-provider and the quick-start example in $build/ (log: $log) ..."
if ! { cmake -S . -B "$build" -G Ninja &&
       cmake --build "$build" -j2 --target quorix-provider qjms-quickstart qjms-listener qjms; } >"$log" 2>&1; then
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
"$build/provider/quorix-provider" --endpoint giop:tcp:127.0.0.1:0 --ior-file "$ior" \
  >"$work/provider.out" 2>"$work/provider.err" &
server=$!
for _ in $(seq 1 100); do
  [ -s "$ior" ] && break
  if ! kill -0 "$server" 2>/dev/null; then
    cat "$work/provider.err" >&2
    echo "quorix-provider did not start" >&2
    exit 1
  fi
  sleep 0.1
done
[ -s "$ior" ] || { echo "quorix-provider wrote no reference file" >&2; exit 1; }
echo "Started quorix-provider (pid $server) on a free loopback port; its reference is in $ior."
echo

# The library's own callback endpoint stays on loopback too.
export ORBendPoint=giop:tcp:127.0.0.1: ORBgiopMaxMsgSize=67108864
status=0
"$build/examples/qjms-quickstart" "$ior" || status=$?
echo
echo "A listener answering requests pushed to it (examples/listener.cpp):"
"$build/examples/qjms-listener" "$ior" 3 || status=$?

echo
echo "qjms, the command-line tool, sends a message and takes it back as JSON:"
"$build/tools/qjms" --ior "$ior" send demo.cli --property origin=demo "hello from qjms" || status=$?
"$build/tools/qjms" --ior "$ior" receive demo.cli --count 1 --json || status=$?

echo
kill -TERM "$server"
if wait "$server"; then
  echo "Stopped quorix-provider."
else
  echo "quorix-provider exited with status $?." >&2
  status=1
fi
server=""
exit "$status"
