#!/usr/bin/env bash
# Runs each parser fuzz target for a bounded time, seeded with the sample recordings of every
# storage place. Usage: fuzz.sh <fuzz build dir> <seconds per target> <velqor-samples binary>
set -euo pipefail
build=$1
seconds=$2
samples=$3

corpus="$build/corpus"
rm -rf "$corpus/seeds"
mkdir -p "$corpus/seeds" "$corpus/mp4" "$corpus/avi"
"$samples" --seconds 3 "$corpus/seeds" >/dev/null
for f in "$corpus/seeds"/*; do
    case "${f,,}" in
    *.avi) cp "$f" "$corpus/avi/" ;;
    *) cp "$f" "$corpus/mp4/" ;;
    esac
done

# Records sit 64 KiB or more into audio chunks, so inputs must be allowed to be that large.
declare -A maxlen=([mp4]=262144 [avi]=262144)
for kind in mp4 avi; do
    echo "== fuzz_${kind}parser for ${seconds}s"
    "$build/fuzz/fuzz_${kind}parser" -max_total_time="$seconds" -max_len="${maxlen[$kind]}" \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/" \
        "$corpus/$kind" 2>&1 \
        | grep -vE '^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse)' || { echo "fuzz_${kind}parser failed"; exit 1; }
done
