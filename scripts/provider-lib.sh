# Shared by scripts/demo.sh and scripts/bench.sh (sourced, not run): building
# a few targets quietly, and one quorix-provider on loopback for the script's
# lifetime.

# build_quietly LOG CMAKE-OPTION... -- TARGET...: configures and builds into
# $build, the output in LOG, whose tail is shown if it fails.
build_quietly() {
  local log=$1 options=() targets=()
  shift
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do options+=("$1"); shift; done
  shift
  targets=("$@")
  mkdir -p "$build"
  if ! { cmake -S . -B "$build" -G Ninja "${options[@]}" &&
         cmake --build "$build" -j2 --target "${targets[@]}"; } >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "Build failed; see $log" >&2
    exit 1
  fi
}

# start_provider ARG...: starts quorix-provider on a free loopback port (and a
# Unix-domain socket beside it) with ARGs added; sets $server (its pid), $work
# (a scratch directory) and $ior (its reference file). Both go at exit.
start_provider() {
  work=$(mktemp -d)
  server=""
  trap stop_provider EXIT
  ior="$work/provider.ior"
  "$build/provider/quorix-provider" --endpoint giop:tcp:127.0.0.1:0 --ior-file "$ior" "$@" \
    >"$work/provider.out" 2>"$work/provider.err" &
  server=$!
  for _ in $(seq 1 100); do
    [ -s "$ior" ] && return 0
    if ! kill -0 "$server" 2>/dev/null; then
      cat "$work/provider.err" >&2
      echo "quorix-provider did not start" >&2
      exit 1
    fi
    sleep 0.1
  done
  echo "quorix-provider wrote no reference file" >&2
  exit 1
}

stop_provider() {
  if [ -n "$server" ] && kill -0 "$server" 2>/dev/null; then
    kill -TERM "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$work"
}
