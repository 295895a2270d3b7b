#!/usr/bin/env bash
# Runs the parser fuzz targets for a bounded time each, seeded with the sample recordings of every
# storage place, and replays the inputs that once made a parser fail.
# Usage: fuzz.sh <fuzz build dir> <duration per target> <velqor-samples binary> [mp4|avi ...]
# The duration is plain seconds or a number with a unit: 90s, 30m, 2h. Without kinds both
# targets run, one after the other; the corpus of each target stays in the build dir, so that a
# later run goes on from what an earlier one found.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
duration=$2
samples=$3
shift 3
kinds=("$@")
[ ${#kinds[@]} -eq 0 ] && kinds=(mp4 avi)

if [[ ! "$duration" =~ ^([0-9]+)([smh]?)$ ]] || [ "${BASH_REMATCH[1]}" -eq 0 ]; then
    echo "fuzz.sh: duration must be seconds or a number with s, m or h: $duration" >&2
    exit 64
fi
case "${BASH_REMATCH[2]}" in
# Base 10 even with a leading zero, which bash arithmetic would take for octal.
h) seconds=$((10#${BASH_REMATCH[1]} * 3600)) ;;
m) seconds=$((10#${BASH_REMATCH[1]} * 60)) ;;
*) seconds=$((10#${BASH_REMATCH[1]})) ;;
esac

# Records sit 64 KiB into audio chunks, so inputs must be allowed to be that large; beyond
# 128 KiB the sanitizer maps every copy of an input afresh, which costs more than the parse.
maxlen=131072
# Three seconds of drive give the heading something to compute; the recordings that keep their
# records in audio chunks are too large at that length and are taken one second long.
seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT
"$samples" --seconds 3 "$seeds/3" >/dev/null
"$samples" --seconds 1 "$seeds/1" >/dev/null
for f in "$seeds/3"/*; do
    name=$(basename "$f")
    [ "$(stat -c %s "$f")" -le $maxlen ] || f="$seeds/1/$name"
    case "${name,,}" in
    *.avi) kind=avi ;;
    *) kind=mp4 ;;
    esac
    # Only into the corpora of this run: another run may be reading the other one.
    [[ " ${kinds[*]} " == *" $kind "* ]] || continue
    mkdir -p "$build/corpus/$kind"
    cp "$f" "$build/corpus/$kind/"
done

for kind in "${kinds[@]}"; do
    corpora=("$build/corpus/$kind")
    [ -d "$root/fuzz/regressions/$kind" ] && corpora+=("$root/fuzz/regressions/$kind")
    echo "== fuzz_${kind}parser for ${seconds}s"
    "$build/fuzz/fuzz_${kind}parser" -max_total_time="$seconds" -max_len=$maxlen \
        -dict="$root/fuzz/$kind.dict" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/${kind}-" "${corpora[@]}" 2>&1 \
        | grep -vE '^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse)' || { echo "fuzz_${kind}parser failed"; exit 1; }
done
