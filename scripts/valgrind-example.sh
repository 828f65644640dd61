#!/usr/bin/env bash
# Plays the example world as scripts/run-example.sh does, but with standin-server and the plugin
# under valgrind memcheck: any invalid access, use of uninitialised memory or definite leak fails.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TAMEWARDEN_VALGRIND_BUILD_DIR:-$root/build-perf}"
seconds="${1:-5}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMEWARDEN_SANITIZE=OFF
cmake --build "$build" --target standin-server TameWarden -j2

server_dir="$build/valgrind-example-server"
rm -rf "$server_dir"
cp -r "$root/examples/server" "$server_dir"
cp "$build/plugin/TameWarden.so" "$server_dir/ArkApi/Plugins/TameWarden/"

# The example config posts to the chat stand-in on this port.
webhook_port=18080
log="$build/valgrind-example.log"
# Reachable blocks at exit (process-wide singletons, curl's global state) are not leaks; the
# plugin is unloaded before exit, so its symbols are kept for readable stacks.
status=0
valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
  --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect \
  --track-origins=yes --keep-debuginfo=yes --num-callers=30 --log-file="$log" \
  "$build/standin/server/standin-server" \
  --server-dir "$server_dir" \
  --world "$root/examples/worlds/example-world.json" \
  --seconds "$seconds" \
  --webhook-listen "$webhook_port" \
  --events "$build/valgrind-example-events.jsonl" </dev/null || status=$?

grep -E "ERROR SUMMARY|definitely lost|indirectly lost" "$log" || true
if [ "$status" -ne 0 ]; then
  echo "valgrind-example: standin-server under memcheck exited with $status; see $log" >&2
  cat "$log" >&2
  exit 1
fi
echo "valgrind-example: no memcheck errors"
