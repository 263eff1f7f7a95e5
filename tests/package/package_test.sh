#!/usr/bin/env bash
# Builds the Debian package from this build tree into a temporary folder, unpacks it there (it is
# never installed) and checks it as a distribution would: the unpacked programs run, lintian finds
# no error, and the desktop entry, the AppStream metadata, the manual pages and the service pass
# their validators; and the translations' catalogs are complete.   package_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$(dirname "$0")/../.." && pwd)
# The checks of the programs' own texts read the Dutch source texts, whatever this machine's language.
export LANGUAGE= LC_ALL=C.UTF-8
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; fail cpack; }
deb=$(ls "$tmp"/out/*.deb)
root=$tmp/root
dpkg-deb -x "$deb" "$root"
dpkg-deb -f "$deb" Depends | grep -q libwx || fail "Depends was not computed from the binaries"
dpkg-deb -f "$deb" Depends | grep -q wx3.2-i18n || fail "Depends lacks the toolkit's Dutch texts"

for f in usr/bin/horavex usr/share/horavex/help/horavex.hhp usr/share/horavex/help/en/horavex.hhp \
         usr/share/locale/en/LC_MESSAGES/horavex.mo usr/share/horavex/art/background.svg \
         usr/share/icons/hicolor/scalable/apps/nl.horavex.Horavex.svg usr/share/doc/horavex/copyright \
         usr/share/doc/horavex/changelog.gz usr/lib/systemd/system/horavexd.service; do
  [ -e "$root/$f" ] || fail "missing $f"
done
# The unpacked programs run, and every option their help names is in their manual page, English
# (the default pages) and Dutch.
for p in horavex-query:1 horavexd:8; do
  name=${p%:*}
  help=$("$root/usr/bin/$name" --help) || fail "$name --help"
  for dir in man nl/man; do
    page=$(zcat "$root/usr/share/man/$dir${p#*:}/$name.${p#*:}.gz")
    for option in $(grep -o -- '--[a-z-]*' <<<"$help" | sort -u); do
      grep -qF -- "$(sed 's/-/\\-/g' <<<"$option")" <<<"$page" || fail "$name: $option is not in $dir${p#*:}"
    done
  done
done

# horavexd logs one line per event; into the journal's stream (JOURNAL_STREAM names its device and
# inode) without a time of its own, as the journal stamps each line.
: >"$tmp/log"
JOURNAL_STREAM=$(stat -c %d:%i "$tmp/log") "$root/usr/bin/horavexd" --profile "$tmp/none.ini" >>"$tmp/log" || true
"$root/usr/bin/horavexd" --profile "$tmp/none.ini" >>"$tmp/log" || true
grep -q "^\[Horavex\] Profiel: $tmp/none.ini\$" "$tmp/log" &&
  grep -q "^[0-9][0-9]:[0-9][0-9]:[0-9][0-9] \[Horavex\] Profiel: " "$tmp/log" || { cat "$tmp/log"; fail "horavexd's log lines"; }

# Errors fail; warnings are shown.
lintian --fail-on error "$deb" || fail lintian

desktop-file-validate "$root"/usr/share/applications/nl.horavex.Horavex.desktop || fail desktop-file-validate
appstreamcli validate --no-net "$root"/usr/share/metainfo/nl.horavex.Horavex.metainfo.xml >"$tmp/as.log" ||
  { cat "$tmp/as.log"; fail appstreamcli; }

for page in "$root"/usr/share/man/man*/*.gz "$root"/usr/share/man/nl/man*/*.gz; do
  out=$(zcat "$page" | groff -ww -z -man 2>&1)
  [ -z "$out" ] || fail "groff on $page: $out"
  if command -v mandoc >/dev/null; then
    zcat "$page" | mandoc -T lint -W warning || fail "mandoc on $page"
  fi
done

# The unit as installed names /usr/bin/horavexd; verify wants a program that exists, so a copy
# names the unpacked one. Its Documentation= page is looked up among the unpacked pages.
unit=$root/usr/lib/systemd/system/horavexd.service
grep -q '^ExecStart=/usr/bin/horavexd ' "$unit" || fail "ExecStart does not name /usr/bin/horavexd"
mkdir "$tmp/unit"
sed "s|^ExecStart=/usr/bin/horavexd|ExecStart=$root/usr/bin/horavexd|" "$unit" >"$tmp/unit/horavexd.service"
MANPATH=$root/usr/share/man systemd-analyze verify "$tmp/unit/horavexd.service" || fail "systemd-analyze verify"
score=$(systemd-analyze security --offline=true "$unit" 2>&1 | sed -n 's/.*Overall exposure level for horavexd.service: \([0-9.]*\).*/\1/p')
echo "systemd-analyze security: $score"
awk -v s="$score" 'BEGIN { exit !(s != "" && s <= 2.5) }' || fail "exposure $score above 2.5"
# Every text of the template (made from the sources at build time) is translated in each catalog,
# none is fuzzy, and a translation's format directives match its source text's (msgfmt --check).
for po in "$source"/po/*.po; do
  msgmerge --quiet --no-fuzzy-matching "$po" "$build/po/horavex.pot" -o "$tmp/merged.po" || fail "msgmerge $po"
  stats=$(msgfmt --check --statistics -o /dev/null "$tmp/merged.po" 2>&1) || fail "msgfmt --check on $po: $stats"
  [[ $stats != *untranslated* && $stats != *fuzzy* ]] || fail "$(basename "$po"): $stats"
done
echo "package checks passed: $(basename "$deb")"
