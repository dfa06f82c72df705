#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what lands there: the exact file list,
# the desktop entry and the metainfo with the real validators, and the names that tie them to
# the icon and to each other.
# Usage: install_test.sh BUILD_DIR APP_ID
set -euo pipefail
build=$1 id=$2
source "$(dirname "$0")/common.sh"
need desktop-file-validate appstreamcli

cmake --install "$build" --prefix "$tmp/usr" >/dev/null
cd "$tmp/usr"
echo "== installed files"
find . \( -type f -o -type l \) | sort | tee "$tmp/files"
{
  echo "./bin/quillet"
  echo "./lib/quillet/modules/quillet-tags.so"
  echo "./share/applications/$id.desktop"
  for size in 128 16 24 256 32 48 64; do
    echo "./share/icons/hicolor/${size}x${size}/apps/$id.png"
  done
  echo "./share/icons/hicolor/scalable/apps/$id.svg"
  echo "./share/metainfo/$id.metainfo.xml"
  echo "./share/man/man1/quillet.1.gz"
  echo "./share/doc/quillet/copyright"
  echo "./share/doc/quillet/changelog.gz"
} | sort >"$tmp/expected"
diff -u "$tmp/expected" "$tmp/files" || fail "installed files differ from the list above"

echo "== desktop-file-validate"
out=$(desktop-file-validate "share/applications/$id.desktop" 2>&1) || fail "$out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
echo "(no findings)"
echo "== appstreamcli validate --no-net"
appstreamcli validate --no-net "share/metainfo/$id.metainfo.xml" || fail "metainfo is not valid"
echo "== appstreamcli validate-tree --no-net"
appstreamcli validate-tree --no-net . || fail "installed tree is not valid"

desktop=share/applications/$id.desktop
grep -qx "Icon=$id" "$desktop" || fail "Icon= does not name $id"
grep -qx "Exec=quillet --from-desktop-entry %F" "$desktop" || fail "Exec= line"
grep -q '^MimeType=audio/mpeg;.*audio/x-wav;audio/wav;' "$desktop" || fail "MimeType= line"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "share/metainfo/$id.metainfo.xml" ||
  fail "metainfo does not launch $id.desktop"
grep -q "<id>$id</id>" "share/metainfo/$id.metainfo.xml" || fail "metainfo id"
grep -q "<project_license>GPL-3.0-or-later</project_license>" "share/metainfo/$id.metainfo.xml" ||
  fail "metainfo project_license"
grep -q "<metadata_license>CC0-1.0</metadata_license>" "share/metainfo/$id.metainfo.xml" ||
  fail "metainfo metadata_license"
# No web address in what is installed: Quillet has no page of its own to point at.
if grep -rIl "https\?://[^ ]*quillet" share; then fail "an address names a page Quillet does not have"; fi
file "share/icons/hicolor/48x48/apps/$id.png" | grep -q "PNG image data, 48 x 48" || fail "48x48 icon"
version=$(./bin/quillet --version) || fail "installed program does not run"
echo "== bin/quillet --version: $version"
echo "PASS"
