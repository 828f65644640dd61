#!/usr/bin/env bash
# The Windows stage: cross-builds TameWarden.dll, the stand-in host's standin.dll, the checker and
# the in-process tests with mingw-w64 in build-windows, installs them into a server folder, and
# runs them under Wine in a fresh prefix: the unit tests (the loader's rules among them, with the
# Linux chat stand-in as the web-hook peer outside Wine), and the installed checker on a config
# with a misspelt key and on a clean one. Prints the time of the build and of the run.
# Usage: test-windows.sh [build|run]: both by default, or only the build, or only the run of what
# the last build made.
set -euo pipefail

part="${1:-all}"
case "$part" in all | build | run) ;; *) echo "usage: $0 [build|run]" >&2; exit 2 ;; esac
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
build="${TAMEWARDEN_WINDOWS_BUILD_DIR:-$root/build-windows}"
linux_build="${TAMEWARDEN_LINUX_BUILD_DIR:-$root/build}"
jobs=$(nproc)

wine="$(command -v wine64 || echo /usr/lib/wine/wine64)"
wineserver="$(command -v wineserver || echo /usr/lib/wine/wineserver)"
[ -x "$wine" ] && [ -x "$wineserver" ] || { echo "wine64 is missing: run scripts/install-deps.sh" >&2; exit 1; }

# A prefix of its own, gone afterwards; no Mono or Gecko installers, no display.
work="$(mktemp -d)"
export WINEPREFIX="$work/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
chat_pid=""
finish() {
  local status=$?
  if [ -n "$chat_pid" ]; then kill "$chat_pid" 2>/dev/null || true; wait "$chat_pid" 2>/dev/null || true; fi
  timeout 30 "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
  exit "$status"
}
trap finish EXIT

if [ "$part" != run ]; then
  # Unity files, which parse the heavy headers once per batch (the plain Linux build stays file by
  # file, so it still checks that each file includes what it uses), and -Og, which compiles in four
  # fifths of the time of the installed build's -O1.
  build_started=$SECONDS
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-Og -DNDEBUG" -DCMAKE_UNITY_BUILD=ON \
    > "$work/configure.log" 2>&1 ||
    { cat "$work/configure.log"; exit 1; }
  cmake --build "$build" -j"$jobs"
  # The chat stand-in is the Linux stand-in server's; the plain stage has built it already.
  [ -f "$linux_build/CMakeCache.txt" ] ||
    cmake -S "$root" -B "$linux_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
  cmake --build "$linux_build" --target standin-server TameWarden -j"$jobs" > /dev/null
  echo "Windows stage: build $((SECONDS - build_started)) s"
fi
[ "$part" != build ] || exit 0

run_started=$SECONDS
server="$work/server"
cmake --install "$build" --prefix "$server" > /dev/null
timeout 120 "$wine" wineboot --init > "$work/wineboot.log" 2>&1 ||
  { echo "wineboot failed:" >&2; cat "$work/wineboot.log" >&2; exit 1; }

chat_dir="$work/chat-server"
mkdir -p "$chat_dir/ArkApi/Plugins/TameWarden"
cp "$linux_build/plugin/TameWarden.so" "$linux_build/plugin/PluginInfo.json" \
  "$chat_dir/ArkApi/Plugins/TameWarden/"
echo '{}' > "$chat_dir/ArkApi/Plugins/TameWarden/config.json"
"$linux_build/standin/server/standin-server" --server-dir "$chat_dir" --webhook-listen 0 \
  --webhook-unlimited --seconds 1800 < /dev/null > "$work/chat.log" 2>&1 &
chat_pid=$!
port=""
for _ in $(seq 1 300); do
  port="$(sed -n 's/^Chat stand-in listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/chat.log")"
  [ -n "$port" ] && break
  kill -0 "$chat_pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "$port" ] || { echo "the chat stand-in did not start:" >&2; cat "$work/chat.log" >&2; exit 1; }

TAMEWARDEN_CHAT_URL="http://127.0.0.1:$port/webhook" \
  ctest --test-dir "$build" -L unit --output-on-failure

check="$server/bin/tamewarden-check.exe"
# The same file twice, once with one key misspelt.
webhook='"LevelWarningWebhook": "http://127.0.0.1:18080/webhook"'
echo "{\"DestroyDinosOverLvel\": 500, $webhook}" > "$work/misspelt.json"
echo "{\"DestroyDinosOverLevel\": 500, $webhook}" > "$work/clean.json"
status=0
timeout 120 "$wine" "$check" "$work/misspelt.json" > "$work/misspelt.out" 2>&1 || status=$?
if [ "$status" -ne 1 ] || ! grep -q '"\?DestroyDinosOverLvel' "$work/misspelt.out" ||
   ! grep -q 'DestroyDinosOverLevel' "$work/misspelt.out"; then
  echo "tamewarden-check.exe on a misspelt key: exit $status (1 expected), output:" >&2
  cat "$work/misspelt.out" >&2
  exit 1
fi
status=0
timeout 120 "$wine" "$check" "$work/clean.json" > "$work/clean.out" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  echo "tamewarden-check.exe on a clean config: exit $status (0 expected), output:" >&2
  cat "$work/clean.out" >&2
  exit 1
fi
echo "tamewarden-check.exe as installed: a misspelt key named (exit 1), a clean config passes (exit 0)"
echo "Windows stage: run under Wine $((SECONDS - run_started)) s"
