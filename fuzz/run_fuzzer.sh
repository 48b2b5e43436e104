#!/usr/bin/env bash
# run_fuzzer.sh FUZZER SEED-CORPUS MAX-LEN WORK-FOLDER
# Runs one libFuzzer target for LUMICURVE_FUZZ_SECONDS seconds (default 60; 0
# skips it) on its seed corpus and a fresh copy of its campaign corpus
# (SEED-CORPUS-campaign.tar.xz, when there is one), with the language's dictionary.
# Slow inputs get less attention than fast ones, so that the few deepest formulas
# do not starve the rest. Fails on any crash, sanitizer report, leak, timeout or
# broken property; the input that did it is left in WORK-FOLDER/crash-* (or
# leak-*, timeout-*).
set -euo pipefail
fuzzer=$1 seeds=$2 max_len=$3 work=$4
seconds=${LUMICURVE_FUZZ_SECONDS:-60}
if [ "$seconds" = 0 ]; then
  echo "LUMICURVE_FUZZ_SECONDS=0: not fuzzing"
  exit 77
fi
rm -rf "$work/corpus"
mkdir -p "$work/corpus"
# The inputs a long campaign found new coverage with start the work copy.
campaign="${seeds%/}-campaign.tar.xz"
if [ -f "$campaign" ]; then
  tar -C "$work/corpus" -xJf "$campaign"
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# New inputs go to the work copy; the seed corpus in the source tree is only read.
# libFuzzer reports a finding with 77 and a timeout with 70 by default; 77 is
# CTest's "skipped" here, so every finding exits with 1.
exec "$fuzzer" "$work/corpus" "$seeds" \
  -dict="$(dirname "$0")/lumicurve.dict" -max_len="$max_len" \
  -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
  -entropic_scale_per_exec_time=1 -error_exitcode=1 -timeout_exitcode=1 \
  -artifact_prefix="$work/"
