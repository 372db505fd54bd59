#!/bin/sh
# The compaction's speed and memory on the two inputs that bound them, in one
# run: a large database of many tables (Northwind repeated 3000 times, about
# 1.1 GiB) and a database of one table of tiny rows near Jet 4's 2 GiB limit
# (psc-adoexamples db2 upgraded to Jet 4, its tbCounty repeated 680000 times,
# 47.6 M rows). The inputs are made once in FOLDER and kept there.
#   bench/speed.sh [BUILD [FOLDER [TESTDATA]]]
set -eu
build=${1:-build} folder=${2:-/tmp/tessivar-speed} testdata=${3:-../shared/testdata}
mkdir -p "$folder"
large=$folder/northwind-3000.mdb tiny=$folder/tiny-rows.mdb
if [ ! -f "$large" ]; then
    "$build/bench/make_big_database" "$testdata/northwind-glogue__Northwind.mdb" "$large" 3000
fi
if [ ! -f "$tiny" ]; then
    cp "$testdata/psc-adoexamples__db2.mdb" "$folder/db2.mdb"
    rm -f "$folder/db2-jet4.mdb"
    "$build/bin/tessivar-jet" compact --format jet4 "$folder/db2.mdb" >/dev/null
    mv "$folder/db2-compact.mdb" "$folder/db2-jet4.mdb"
    "$build/bench/make_big_database" "$folder/db2-jet4.mdb" "$tiny" 680000 tbCounty
fi
"$build/bench/compact_bench" --compaction-only "$large" "$tiny"
