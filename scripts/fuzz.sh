#!/usr/bin/env bash
# Runs every libFuzzer target of a build made with clang, -DKX_SANITIZE=address and -DKX_FUZZ=ON
# for a fixed time each, starting from its corpus (tests/fuzz/corpus/<target>/).
#   scripts/fuzz.sh [build folder] [seconds per target]
# The corpus folder is only read: new inputs go to a scratch folder. An input that makes a
# target fail is left in fuzz-artifacts/<target>/ of the build folder; copy it into the target's
# corpus folder so that the normal tests replay it once fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-60}
list="$build/fuzz-targets.txt"
[[ -f $list ]] || { echo "$list is missing: configure $build with -DKX_FUZZ=ON" >&2; exit 2; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
while read -r target corpus; do
  [[ -n $target ]] || continue
  cmake --build "$build" --target "$target" >/dev/null
  binary=$(find "$build" -name "$target" -type f -executable | head -n 1)
  artifacts="$build/fuzz-artifacts/$target"
  mkdir -p "$scratch/$target" "$artifacts"
  echo "== $target for ${seconds} s"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
      "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "$scratch/$target" "$corpus" 2>"$scratch/$target.log"; then
    tail -n 60 "$scratch/$target.log"
    echo "$target failed; the input is in $artifacts" >&2
    status=1
  else
    grep -E "^stat::number_of_executed_units|^#[0-9]+.*DONE" "$scratch/$target.log" | tail -n 2
  fi
done <"$list"
exit $status
