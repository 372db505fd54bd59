#!/bin/sh
# Runs compact_bench of two builds on one database, alternating (before,
# after, before, after) so that both see the same machine load, and prints
# the compaction time and peak memory of each run, their means and the
# after/before ratios of the means.
#   bench/compare_compact_bench.sh BEFORE/compact_bench AFTER/compact_bench DATABASE.mdb [RUNS]
set -eu
before=$1 after=$2 db=$3 runs=${4:-2}
out=$(mktemp)
trap 'rm -f "$out"' EXIT
i=0
while [ "$i" -lt "$runs" ]; do
    for which in before after; do
        eval bench=\$$which
        "$bench" --compaction-only "$db" | awk -v w="$which" '/^compaction +[0-9]/ { for (f = 1; f <= NF; ++f) { if ($f ~ /^[0-9.]+$/ && $(f+1) == "s" && !t) t = $f; if ($(f+1) == "MiB" && $f ~ /^[0-9.]+$/) m = $f } print w, t, m }' >>"$out"
    done
    i=$((i + 1))
done
cat "$out"
awk '{ t[$1] += $2; m[$1] += $3; n[$1]++ }
     END { printf "mean before: %.2f s %.1f MiB; after: %.2f s %.1f MiB; ratio time %.3f memory %.3f\n",
           t["before"] / n["before"], m["before"] / n["before"], t["after"] / n["after"], m["after"] / n["after"],
           (t["after"] / n["after"]) / (t["before"] / n["before"]), (m["after"] / n["after"]) / (m["before"] / n["before"]) }' "$out"
