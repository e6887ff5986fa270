#!/usr/bin/env bash
# Builds the Debian package of a build folder and checks it: its file list holds the programs,
# the default files, the menu entry, the icons, the metainfo and the man pages; its
# dependencies name the libraries the programs link and the Qt platform plugins; lintian finds
# no error; the packaged menu entry and metainfo pass their validators.
#   package_check.sh BUILD_DIR OUT_DIR APP_ID "ICON SIZES"
set -euo pipefail
build=$1 out=$2 id=$3 sizes=$4
rm -rf "$out"
mkdir -p "$out"
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log"
  exit 1
fi
debs=("$out"/velmora_*.deb)
deb=${debs[0]}
echo "package: $(basename "$deb")"
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$out/files.txt"

failed=0
expect=(/usr/share/velmora/rom0.bin /usr/share/velmora/rom1.bin /usr/share/velmora/face.bmp
        /usr/share/velmora/keymap.dat "/usr/share/applications/$id.desktop"
        "/usr/share/metainfo/$id.metainfo.xml" /usr/share/doc/velmora/copyright
        /usr/share/doc/velmora/changelog.gz)
for program in velmora velmora-headless velmora-asm velmora-dis; do
  expect+=("/usr/bin/$program" "/usr/share/man/man1/$program.1.gz")
done
for size in $sizes; do
  expect+=("/usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for file in "${expect[@]}"; do
  grep -qxF "$file" "$out/files.txt" || { echo "missing from the package: $file"; failed=1; }
done

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for dep in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libpng16-16 qt6-qpa-plugins; do
  [[ ", $depends," == *", $dep "* || ", $depends," == *", $dep,"* ]] ||
    { echo "missing dependency: $dep"; failed=1; }
done

# lintian: every tag is printed; an error fails the check.
lintian --fail-on error --info "$deb" >"$out/lintian.txt" 2>&1 || failed=1
cat "$out/lintian.txt"

dpkg-deb -x "$deb" "$out/root"
desktop-file-validate "$out/root/usr/share/applications/$id.desktop" || failed=1
appstreamcli validate --no-net --pedantic "$out/root/usr/share/metainfo/$id.metainfo.xml" || failed=1
exit $failed
