#!/usr/bin/env bash
# Installs the Debian package given as $1 and checks that the installed
# Tessivar works headless: the files a desktop and `man` need are in place,
# --version answers, a database with a lock file beside it is refused, and one
# real compaction ends with its summary line and a copy that checks clean. Until the engine can compact,
# its "cannot compact yet" refusal is accepted; any other failure is not.
set -euo pipefail

deb="$(realpath "$1")"
shared="${TESSIVAR_SHARED_DIR:-$(dirname "$0")/../../shared}"
sample="$shared/testdata/jackcess__V2003_testIndexPropertiesV2003.mdb"

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
  -o DPkg::Lock::Timeout=300 --reinstall "$deb" >/dev/null

fail() { echo "smoke test: $*" >&2; exit 1; }

for file in /usr/bin/tessivar /usr/bin/tessivar-jet /usr/share/applications/tessivar.desktop \
            /usr/share/icons/hicolor/scalable/apps/tessivar.svg \
            /usr/share/man/man1/tessivar.1.gz /usr/share/man/ja/man1/tessivar.1.gz \
            /usr/share/tessivar/help/index.html /usr/share/doc/tessivar/copyright \
            /usr/share/doc/tessivar/changelog.gz /usr/share/metainfo/io.github.tessivar.Tessivar.metainfo.xml; do
  [ -e "$file" ] || fail "missing $file"
done
grep -qx 'MimeType=application/x-msaccess;application/vnd.ms-access;' \
  /usr/share/applications/tessivar.desktop || fail "desktop entry lacks the MIME types"
if command -v man >/dev/null; then
  man -w tessivar >/dev/null && man -w tessivar-jet >/dev/null || fail "man does not find the manual pages"
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate /usr/share/applications/tessivar.desktop
fi

# Headless: no display of any kind.
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 120 /usr/bin/tessivar "$@"; }

version="$(run --version)" || fail "--version failed"
[ -n "$version" ] || fail "--version printed nothing"
echo "installed: $version"

if [ ! -f "$sample" ]; then
  echo "smoke test: $sample not found, compaction not tried"
  exit 0
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$sample" "$work/sales.mdb"
chmod u+w "$work/sales.mdb"

: > "$work/sales.ldb"
status=0
run -sf:"$work/sales.mdb" -tf:"$work/locked.mdb" -et:5 -oe -as >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 1 ] || fail "a database with a lock file beside it gave exit status $status"
grep -q 'sales.ldb' "$work/err" || fail "the refusal does not name the lock file: $(cat "$work/err")"
[ ! -e "$work/locked.mdb" ] || fail "a target was written beside a lock file"
rm "$work/sales.ldb"

status=0
run -sf:"$work/sales.mdb" -tf:"$work/compact.mdb" -et:5 -oe -as >"$work/out" 2>"$work/err" || status=$?
if [ "$status" -eq 0 ]; then
  [ -s "$work/compact.mdb" ] || fail "exit status 0 but no compacted file"
  grep -q '^最適化しました: ' "$work/out" || fail "no summary line: $(cat "$work/out")"
  cat "$work/out"
  /usr/bin/tessivar-jet check "$work/compact.mdb" || fail "the compacted copy does not check clean"
elif [ "$status" -eq 1 ] && grep -q 'まだ最適化できません' "$work/err"; then
  echo "smoke test: the engine cannot compact yet; accepted"
else
  fail "compaction gave exit status $status: $(cat "$work/err")"
fi
cmp -s "$sample" "$work/sales.mdb" || fail "the source database changed"

# The nightly road: in place, keeping the mode, with a backup.
/usr/bin/tessivar-jet --version >/dev/null || fail "tessivar-jet --version failed"
chmod 0640 "$work/sales.mdb"
status=0
/usr/bin/tessivar-jet compact --in-place --backup .bak "$work/sales.mdb" >"$work/out" 2>"$work/err" || status=$?
if [ "$status" -eq 0 ]; then
  cmp -s "$sample" "$work/sales.mdb.bak" || fail "the backup is not the original"
  [ "$(stat -c %a "$work/sales.mdb")" = 640 ] || fail "in-place compaction changed the mode"
  /usr/bin/tessivar-jet check "$work/sales.mdb" || fail "the database compacted in place does not check clean"
  cat "$work/out"
elif ! grep -q 'まだ最適化できません' "$work/out"; then
  fail "tessivar-jet compact gave exit status $status: $(cat "$work/out")"
fi
echo "smoke test: installed Tessivar works"
