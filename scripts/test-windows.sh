#!/usr/bin/env bash
# Builds the Windows programs (scripts/build-windows.sh) and runs their unit tests under wine.
# A wine prefix is prepared once in the build folder and copied fresh for every run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build-windows.sh "$@"
build=$(cd "${KX_WINDOWS_BUILD_DIR:-build-windows}" && pwd)

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no .NET or Gecko installer prompts

# The prepared prefix: booted once (about 10 s), then reused by copying (about 1 s).
prepared="$build/wine-prefix"
if [ ! -f "$prepared/system.reg" ]; then
  rm -rf "$prepared"
  WINEPREFIX="$prepared" wineboot -i >/dev/null 2>&1 </dev/null
  WINEPREFIX="$prepared" wineserver -w
fi
export WINEPREFIX="$build/wine-prefix-run"
wineserver -k >/dev/null 2>&1 || true  # a server left over from an interrupted run
wineserver -w
rm -rf "$WINEPREFIX"
cp -a "$prepared" "$WINEPREFIX"

# A persistent wineserver for the whole run (services die without one), shut down on exit.
# The first wine command starts wine's own processes, which inherit its standard streams: it
# runs with them closed so that no later pipe stays open.
wineserver -p
trap 'wineserver -k || true; wineserver -w || true' EXIT
wine cmd /c exit >/dev/null 2>&1 </dev/null

# A test program passes when it exits with 0 and GoogleTest printed its summary of passed tests
# without failures: a program that crashed under wine may still end with 0.
failed=()
while read -r test; do
  [ -n "$test" ] || continue
  name=$(basename "$test" .exe)
  log="$build/$name.wine.log"
  echo "== $name"
  status=0
  wine "$test" --gtest_brief=1 </dev/null >"$log" 2>&1 || status=$?
  grep -v '^Running main() from' "$log" || true
  if [ $status -ne 0 ] || ! grep -q '^\[  PASSED  \]' "$log" || grep -q '^\[  FAILED  \]' "$log"; then
    failed+=("$name")
  fi
done <"$build/unit-tests.txt"

# KXWebServer.exe under the service manager, end to end; every test takes its own copy of the
# prepared prefix with a wineserver of its own.
echo "== test_service"
(cd tests/windows && KX_WINDOWS_BUILD="$build" KX_WINE_TEMPLATE="$prepared" \
  PYTHONDONTWRITEBYTECODE=1 python3 -m unittest test_service) || failed+=(test_service)

# KXReports on an X server of its own: the window as the system reports it, an export through the
# test automation server, the start error box and the headless export. The screenshots stay in
# the build folder.
echo "== KXReports window"
display_file="$build/xvfb-display"
: >"$display_file"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 </dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
if ! DISPLAY=":$(cat "$display_file")" python3 tests/windows/test_kxreports.py \
  --kxreports "$build/reports/KXReports.exe" \
  --server "$build/tests/windows/VelorinTestServer.exe" \
  --probe "$build/tests/windows/WindowProbe.exe" --screenshots "$build" </dev/null; then
  failed+=(test_kxreports)
fi
kill "$xvfb" 2>/dev/null || true
wait "$xvfb" 2>/dev/null || true

if [ ${#failed[@]} -gt 0 ]; then
  echo "Failed under wine: ${failed[*]}" >&2
  exit 1
fi
echo "All Windows tests passed under wine."
