#!/bin/sh
# Compacts every Jet 3 and Jet 4 test database through the program (headless,
# same format, same password) and prints one line per file: source pages and
# free pages, copy pages and free pages (from `tessivar-jet info`), and what
# `tessivar-jet check` says of the copy. With two programs it prints both
# copies side by side, to compare a change with the build before it.
#   scripts/size-table.sh [TESSIVAR [TESSIVAR_BEFORE]]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$here/build/bin/tessivar}
before=${2:-}
jettool=$here/build/bin/tessivar-jet
shared=${TESSIVAR_SHARED_DIR:-$here/../shared}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

info() { "$jettool" info "$1" --password "$2" | awk -F'\t' -v k="$3" '$1 == k { print $2 }'; }

password_of() {
    awk -F'|' -v f="\`$1\`" '$2 ~ f { gsub(/[ `]/, "", $8); print $8; exit }' "$shared/testdata/MANIFEST.md"
}

# Compacts $1 with program $2 into $3; prints "pages free check".
copy_with() {
    engine=5
    [ "$(info "$1" "$pw" format)" = Jet3 ] && engine=4
    if QT_QPA_PLATFORM=offscreen "$2" "-sf:$1" "-sp:$pw" "-tf:$3" "-tp:$pw" "-et:$engine" -oe -as >/dev/null 2>&1; then
        problems=$("$jettool" check "$3" --password "$pw" | grep -c '^problem' || true)
        echo "$(info "$3" "$pw" page-count) $(info "$3" "$pw" free-pages) $([ "$problems" = 0 ] && echo clean || echo "$problems-problems")"
    else
        echo "- - failed"
    fi
}

if [ -n "$before" ]; then
    printf '%-50s %7s %6s | %7s %6s %-6s | %7s %6s %-6s\n' file src-pg free before free check after free check
else
    printf '%-50s %7s %6s | %7s %6s %-6s\n' file src-pg free copy-pg free check
fi
for path in "$shared"/testdata/*.mdb "$shared"/testdata/*.MDB "$shared"/testdata/*.MDW; do
    [ -e "$path" ] || continue
    name=$(basename "$path")
    pw=$(password_of "$name")
    format=$(info "$path" "$pw" format 2>/dev/null || true)
    [ "$format" = Jet3 ] || [ "$format" = Jet4 ] || continue
    src="$(info "$path" "$pw" page-count) $(info "$path" "$pw" free-pages)"
    after=$(copy_with "$path" "$program" "$scratch/after-$name")
    if [ -n "$before" ]; then
        old=$(copy_with "$path" "$before" "$scratch/before-$name")
        printf '%-50s %7s %6s | %7s %6s %-6s | %7s %6s %-6s\n' "$name" $src $old $after
    else
        printf '%-50s %7s %6s | %7s %6s %-6s\n' "$name" $src $after
    fi
    rm -f "$scratch"/*
done
