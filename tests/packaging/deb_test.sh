#!/usr/bin/env bash
# The Debian package made by cpack installs into a scratch root with every file in place, and the
# installed saver finds the installed data folder. Argument: the build folder.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/qmsave_*.deb)
info=$(dpkg-deb --info "$deb")  # whole, so no early-closing reader breaks the pipe
grep -q "Depends:.*libdevil1c2" <<<"$info" || { echo "no dependency on the picture decoder"; exit 1; }
dpkg -x "$deb" "$work/root"
for f in usr/bin/qmsave usr/bin/qmpack usr/share/qmsave/qmsave.dat usr/share/man/man1/qmsave.1 \
         usr/share/man/man1/qmpack.1 usr/share/xscreensaver/config/qmsave.xml \
         usr/share/applications/screensavers/qmsave.desktop usr/share/icons/hicolor/scalable/apps/qmsave.svg; do
  [ -s "$work/root/$f" ] || { echo "missing or empty: /$f"; exit 1; }
done
cmp -s "$work/root/usr/share/qmsave/qmsave.dat" "$build/data/qmsave.dat" || { echo "the packaged data differs"; exit 1; }
grep -q '^Categories=Screensaver;' "$work/root/usr/share/applications/screensavers/qmsave.desktop"
# The installed program looks for its data beside itself, in ../share/qmsave.
out=$(env -u QMSAVE_PATH XDG_CONFIG_HOME="$work/config" "$work/root/usr/bin/qmsave" -c)
grep -q "$work/root/usr/bin/../share/qmsave\|$work/root/usr/share/qmsave" <<<"$out" ||
  { echo "the installed saver does not find its data folder:"; echo "$out"; exit 1; }
echo "ok: $(basename "$deb") installs every file"
