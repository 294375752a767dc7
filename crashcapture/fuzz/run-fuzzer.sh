#!/bin/sh
# run-fuzzer.sh FUZZER SEED-WRITER WORK-DIR [libFuzzer options...]
# Writes the seed reports, then fuzzes the crash report reader starting from
# them. New inputs the fuzzer finds are kept in WORK-DIR/corpus.
set -eu
fuzzer=$1; seeds=$2; work=$3; shift 3
"$seeds" "$work/seeds"
mkdir -p "$work/corpus"
exec "$fuzzer" "$@" -artifact_prefix="$work/" "$work/corpus" "$work/seeds"
