#!/usr/bin/env bash
# Long fuzzing campaign over the libFuzzer targets of a clang build made with
# -DKX_SANITIZE=address and -DKX_FUZZ=ON. Each target runs until 10 million executions or one hour
# of its own CPU time, whichever comes first; CPU time rather than wall time, so that other load on
# the machine does not shorten a run. Targets run one per core at idle priority.
#   scripts/fuzz-long.sh [build folder] [campaign folder] [target...]
# The campaign folder keeps each target's corpus between campaigns (a later campaign starts where
# the last one stopped), its libFuzzer log (<target>.log, final stats at the end), one line per
# target in summary.txt, and the inputs that made a target fail in artifacts/<target>/; copy those
# into tests/fuzz/corpus/<target>/ so that the normal tests replay them once fixed.
# Do not pause the fuzzers (SIGSTOP): the hang timeout counts wall time.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-address}
campaign=${2:-$HOME/kx-fuzz-campaign}
shift $(($# < 2 ? $# : 2))
max_runs=${KX_FUZZ_RUNS:-10000000}
max_cpu_seconds=${KX_FUZZ_CPU_SECONDS:-3600}
hang_seconds=60
list="$build/fuzz-targets.txt"
[[ -f $list ]] || { echo "$list is missing: configure $build with -DKX_FUZZ=ON" >&2; exit 2; }
mkdir -p "$campaign"
campaign=$(cd "$campaign" && pwd)
failed=$(mktemp)
trap 'rm -f "$failed"' EXIT
export ASAN_OPTIONS=detect_leaks=1:malloc_context_size=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# User plus system CPU time of a process, in whole seconds.
cpu_seconds() {
  awk -v tick="$(getconf CLK_TCK)" '{ print int(($14 + $15) / tick) }' "/proc/$1/stat" 2>/dev/null || echo 0
}

# Runs one target until its execution or CPU budget is spent and appends its line to summary.txt.
# libFuzzer exits with 72 when interrupted, which is how the CPU budget ends a run.
run_target() {
  local target=$1 seeds=$2 binary pid cpu=0 status=0 verdict executions
  binary=$(find "$build" -name "$target" -type f -executable | head -n 1)
  mkdir -p "$campaign/$target" "$campaign/artifacts/$target"
  chrt --idle 0 "$binary" -runs="$max_runs" -timeout="$hang_seconds" -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$campaign/artifacts/$target/" \
    "$campaign/$target" "$seeds" >"$campaign/$target.log" 2>&1 &
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    cpu=$(cpu_seconds "$pid")
    ((cpu < max_cpu_seconds)) || kill -INT "$pid" 2>/dev/null || true
    sleep 1
  done
  wait "$pid" || status=$?
  case $status in
    0) verdict="done: $max_runs executions" ;;
    72) verdict="done: $max_cpu_seconds s of CPU time" ;;
    *)
      verdict="FAILED with status $status; see $target.log and artifacts/$target/"
      echo "$target" >>"$failed"
      ;;
  esac
  executions=$(awk '/^stat::number_of_executed_units/ { print $2 }' "$campaign/$target.log")
  echo "$target: $verdict (cpu ${cpu} s, ${executions:-?} executions)" | tee -a "$campaign/summary.txt"
}

lanes=$(nproc)
while read -r target seeds; do
  [[ -n $target ]] || continue
  [[ $# -eq 0 || " $* " == *" $target "* ]] || continue
  cmake --build "$build" --target "$target" >/dev/null
  while (($(jobs -rp | wc -l) >= lanes)); do wait -n || true; done
  run_target "$target" "$seeds" &
done <"$list"
wait
[[ ! -s $failed ]]
