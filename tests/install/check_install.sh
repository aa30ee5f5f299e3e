#!/usr/bin/env bash
# Installs the build into an empty prefix, moves the tree away from where it
# was installed, and runs it from there: the programs, their files, the
# desktop entry, the icon and the log-on entry that Mindrel writes.
# Usage: check_install.sh BUILD_DIR
source "$(dirname "$0")/common.sh"
cmake --install "$build" --prefix "$work/staged" >/dev/null
mv "$work/staged" "$work/prefix"
prefix="$work/prefix"

for program in Mindrel mindrel-list keel mktree; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not installed"
  ! ldd "$prefix/bin/$program" | grep -q 'not found' || fail "bin/$program misses a shared library"
  ! ldd "$prefix/bin/$program" | grep -qF "$build" || fail "bin/$program loads a library from the build folder"
done
for file in Alert.wav NoIcon.bmp Birth.bmp Marriage.bmp Divorce.bmp Death.bmp "Added fixed.bmp" \
  "Added annual.bmp" "Button Options.png" "Button Refresh.png"; do
  expect_file "$prefix/share/mindrel/$file"
done
expect_file "$prefix/share/applications/Mindrel.desktop"
desktop-file-validate "$prefix/share/applications/Mindrel.desktop" || fail "desktop entry not valid"
grep -qx 'Icon=mindrel' "$prefix/share/applications/Mindrel.desktop" || fail "desktop entry names no icon"
for size in 16 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/mindrel.png"
  expect_file "$icon"
  [ "$(file -b "$icon" | grep -o '[0-9]* x [0-9]*')" = "$size x $size" ] || fail "$icon is not $size x $size"
done
expect_file "$prefix/share/doc/mindrel/README.md"

# The installed tools list the same alerts as the built ones.
installed="$(list_alerts "$prefix/bin" "$work/installed")"
built="$(list_alerts "$build/bin" "$work/built")"
[ -n "$installed" ] || fail "the installed mindrel-list printed no alert"
[ "$installed" = "$built" ] || fail "the installed mindrel-list prints other alerts than the built one"

# A start of the installed program registers the log-on start of the
# installed program (nothing ticked: the silent start ends unseen).
printf '[Prefs]\nNDBs=1\nDB0="%s"\n[Fields]\nCount=0\n' "$work/installed/tree" >"$work/installed/data/Mindrel.INI"
MINDREL_DATA_DIR="$work/installed/data" XDG_CONFIG_HOME="$work/config" WINEPREFIX="$work/no-wine" \
  QT_QPA_PLATFORM=offscreen MINDREL_TODAY=2026-12-10 timeout 120 "$prefix/bin/Mindrel" -s ||
  fail "the installed Mindrel -s did not end unseen"
grep -qxF "Exec=\"$prefix/bin/Mindrel\" -s" "$work/config/autostart/Mindrel.desktop" ||
  fail "the log-on entry does not start the installed program: $(grep Exec "$work/config/autostart/Mindrel.desktop")"
echo "install tree: ok"
