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
. scripts/provider-lib.sh
echo "Building quorix-provider and the quick-start example in $build/ (log: $log) ..."
build_quietly "$log" -- quorix-provider qjms-quickstart qjms-listener qjms
start_provider
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
