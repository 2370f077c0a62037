#!/usr/bin/env bash
# Runs every fuzz target for a bounded time: fuzz/run.sh BUILD_DIR SECONDS.
# Each target starts from the seeds in fuzz/corpus/<target>/ plus what earlier
# runs found (kept in BUILD_DIR/corpus/<target>/, never in the repository).
# A crash leaves its input in BUILD_DIR/artifacts/<target>/ and fails the run.
set -uo pipefail
cd "$(dirname "$0")/.."

build=${1:?usage: fuzz/run.sh BUILD_DIR SECONDS}
seconds=${2:?usage: fuzz/run.sh BUILD_DIR SECONDS}
targets=(page reading request site)

failed=()
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  artifacts="$build/artifacts/$t"
  log="$build/$t-fuzz.log"
  mkdir -p "$work" "$artifacts"
  dict=()
  [[ -f fuzz/$t.dict ]] && dict=(-dict="fuzz/$t.dict")
  # Gateway pages are well under a kilobyte; letting inputs grow to the size
  # of the largest seed (the deep-nesting page) makes each run four times
  # slower. Deep and large pages are htmldocument_test's business.
  limit=()
  [[ $t == page ]] && limit=(-max_len=8192)

  echo "fuzz: $t for ${seconds}s"
  "$build/${t}_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "${dict[@]}" "${limit[@]}" \
    "$work" "fuzz/corpus/$t" >"$log" 2>&1
  rc=$?

  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  echo "fuzz: $t: ${execs:-?} executions (${rate:-?}/s), corpus $(ls "$work" | wc -l) inputs, exit $rc"
  if ((rc != 0)); then
    failed+=("$t")
    grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -5
    echo "fuzz: full log in $log"
  fi
done

if ((${#failed[@]})); then
  echo "fuzz: FAILED: ${failed[*]}" >&2
  exit 1
fi
