#!/usr/bin/env bash
# Builds TameWarden and the stand-in server, installs the plugin into a copy of the example server
# folder as an operator would, and plays the example world for about five seconds.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

scripts/install-deps.sh
cmake -S . -B build
cmake --build build -j2

server_dir="build/example-server"
plugin_dir="$server_dir/ArkApi/Plugins/TameWarden"
rm -rf "$server_dir"
cp -r examples/server "$server_dir"
cp build/plugin/TameWarden.so build/plugin/PluginInfo.json "$plugin_dir/"

# The example config posts to the chat stand-in on this port.
webhook_port=18080
events_file="$root/build/example-events.jsonl"

echo
echo "Playing examples/worlds/example-world.json for 5 seconds (events: $events_file)"
echo
build/standin/server/standin-server \
  --server-dir "$server_dir" \
  --world examples/worlds/example-world.json \
  --seconds 5 \
  --webhook-listen "$webhook_port" \
  --events "$events_file" </dev/null
