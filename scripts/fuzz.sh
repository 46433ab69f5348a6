#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the fuzz targets (clang-14 libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each for a fixed time, starting from its seed corpus in fuzz/corpus/.  An input that
# fails is copied into fuzz/regressions/<target>/, which CTest replays in every build.
#   scripts/fuzz.sh                 every target, 20 s each
#   ORVANE_FUZZ_SECONDS=600 scripts/fuzz.sh listing grammar
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${ORVANE_FUZZ_SECONDS:-20}
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(number config listing grammar replies elf intel_hex srec)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A build that fails says where, rather than ending the step without a line.
if ! { cmake --preset fuzz && cmake --build --preset fuzz -j 2 \
         --target $(printf 'fuzz_%s ' "${targets[@]}"); } >"$work/build.log" 2>&1; then
  grep -E "error|FAILED" "$work/build.log" | head -10 || tail -20 "$work/build.log"
  echo "fuzz: the fuzz targets did not build"
  exit 1
fi
status=0
for t in "${targets[@]}"; do
  # New inputs go to a scratch corpus; the seeds in the tree stay as they are.
  mkdir -p "$work/$t" "$work/$t-crash"
  log="$work/$t.log"
  if build/fuzz/bin/fuzz_"$t" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
       -artifact_prefix="$work/$t-crash/" "$work/$t" fuzz/corpus/"$t" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
    for f in "$work/$t-crash"/*; do
      [ -e "$f" ] || continue
      cp "$f" fuzz/regressions/"$t"/
      echo "  new regression input: fuzz/regressions/$t/$(basename "$f")"
    done
    grep -E "check failed|ERROR:|SUMMARY" "$log" | head -5 || true
  fi
  runs=$(grep -oE 'Done [0-9]+ runs' "$log" | grep -oE '[0-9]+' || echo 0)
  echo "fuzz $t: $result, $runs executions in ${seconds} s"
done
exit $status
