#!/usr/bin/env bash
# Builds the .deb with CPack and checks its control fields (the Depends worked out from the
# libraries the program links, plus the packages it needs without linking) and its file list,
# lets lintian judge it (no error, no warning) and man render its manual page, then lets apt
# resolve it as `apt-get install ./quillet_*.deb` would (a simulation).
# Usage: package_test.sh BUILD_DIR APP_ID VERSION
set -euo pipefail
build=$1 id=$2 version=$3
source "$(dirname "$0")/common.sh"
need cpack dpkg-deb dpkg-shlibdeps file apt-get lintian man

cpack --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1 || {
  cat "$tmp/cpack.log"
  fail "cpack"
}
arch=$(dpkg --print-architecture)
deb="$tmp/quillet_${version}_${arch}.deb"
[ -f "$deb" ] || fail "no $deb"
echo "== control"
dpkg-deb -f "$deb" | tee "$tmp/control"
[ "$(dpkg-deb -f "$deb" Package)" = quillet ] || fail Package
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail Version
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail Architecture
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail Maintainer
depends=$(dpkg-deb -f "$deb" Depends)
# From dpkg-shlibdeps: versioned entries for each library linked.
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 libmpg123-0 \
  libsndfile1 libsdl2-2.0-0 libtag1v5; do
  [[ ", $depends" == *", $lib (>= "* ]] || fail "Depends lacks $lib (>= ...)"
done
# Needed without being linked.
for pkg in libqt6svg6 qt6-translations-l10n fonts-arphic-ukai; do
  [[ ", $depends," == *", $pkg,"* ]] || fail "Depends lacks $pkg"
done

echo "== files"
dpkg-deb -c "$deb" | awk '{print $NF}' | grep -v '/$' | sort | tee "$tmp/files"
{
  echo "./usr/bin/quillet"
  echo "./usr/lib/quillet/modules/quillet-tags.so"
  echo "./usr/share/applications/$id.desktop"
  for size in 128 16 24 256 32 48 64; do
    echo "./usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
  done
  echo "./usr/share/icons/hicolor/scalable/apps/$id.svg"
  echo "./usr/share/metainfo/$id.metainfo.xml"
  echo "./usr/share/man/man1/quillet.1.gz"
  echo "./usr/share/doc/quillet/copyright"
  echo "./usr/share/doc/quillet/changelog.gz"
} | sort >"$tmp/expected"
diff -u "$tmp/expected" "$tmp/files" || fail "package files differ"
dpkg-deb -x "$deb" "$tmp/root"
file "$tmp/root/usr/bin/quillet" | grep -q "stripped" || fail "program not stripped"
file "$tmp/root/usr/bin/quillet" | grep -q "not stripped" && fail "program not stripped"
file "$tmp/root/usr/lib/quillet/modules/quillet-tags.so" | grep -q "not stripped" && fail "tag module not stripped"
# TagLib is the tag module's alone: the program starts without it.
readelf -d "$tmp/root/usr/bin/quillet" | grep -q 'libtag' && fail "the program links TagLib"

echo "== lintian"
# Errors and warnings fail; the informational tags are shown for the record.
status=0
lintian --fail-on error,warning --display-info --no-cfg "$deb" >"$tmp/lintian" 2>&1 || status=$?
cat "$tmp/lintian"
[ "$status" -eq 0 ] && ! grep -qE '^[EW]: ' "$tmp/lintian" ||
  fail "lintian reports errors or warnings (exit $status)"
[ "$(zcat "$tmp/root/usr/share/doc/quillet/changelog.gz" | head -1)" = \
  "quillet ($version) unstable; urgency=medium" ] || fail "changelog does not start at $version"

echo "== man -l quillet.1.gz"
page="$tmp/root/usr/share/man/man1/quillet.1.gz"
LC_ALL=C MANWIDTH=80 man --warnings -l "$page" >"$tmp/man.txt" 2>"$tmp/man.err" || fail "man -l"
[ ! -s "$tmp/man.err" ] || { cat "$tmp/man.err"; fail "man warns about the page"; }
# The options as --help gives them, and the sections a reader looks for.
for option in $("$build/src/quillet" --help | sed -nE 's/^  (-[^ ].*[^ ])  +.*/\1/p' | tr ',' ' '); do
  grep -qe "$option" "$tmp/man.txt" || fail "the manual page lacks $option"
done
for heading in OPTIONS FILES ENVIRONMENT "EXIT STATUS"; do
  grep -qx "$heading" "$tmp/man.txt" || fail "the manual page lacks $heading"
done

echo "== apt-get install --simulate ./$(basename "$deb")"
(cd "$tmp" && apt-get install --simulate --no-install-recommends "./$(basename "$deb")") ||
  fail "apt cannot install the package"
echo "PASS"
