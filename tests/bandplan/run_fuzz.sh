#!/bin/sh
# Runs the band-plan fuzz target for a few seconds from its seed corpora.
# usage: run_fuzz.sh FUZZER WORKDIR SECONDS SEED_DIR...
set -eu
fuzzer=$1 work=$2 seconds=$3
shift 3
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
# New inputs go to the first folder (in the build tree); the seed folders are only read.
"$fuzzer" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" "$@" 2>"$work/log.txt" || {
    tail -n 60 "$work/log.txt"
    echo "bandplan fuzz: failure; the input is in $work/artifacts/"
    exit 1
}
grep -E "^(stat::number_of_executed_units|stat::new_units_added|Done)" "$work/log.txt" || true
echo "bandplan fuzz: no crash in $seconds s"
