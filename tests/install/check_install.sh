#!/usr/bin/env bash
# Installs the build into an empty prefix, moves the tree away from where it
# was installed, and runs it from there with the build folder hidden: the
# programs, their files, the help collection, the desktop entry, the icon and
# the log-on entry that Mindrel writes.
# Usage: check_install.sh BUILD_DIR
source "$(dirname "$0")/common.sh"
cmake --install "$build" --prefix "$work/staged" >/dev/null
mv "$work/staged" "$work/prefix"
prefix="$work/prefix"
cd "$work"

# without_build COMMAND...: runs the command in a mount namespace of its own
# in which an empty folder lies over the build folder, so the installed tree
# cannot lean on anything there.
if unshare --mount true 2>/dev/null; then
  hide=(unshare --mount)
elif unshare --map-root-user --mount true 2>/dev/null; then
  hide=(unshare --map-root-user --mount)
else
  fail "unshare can make no mount namespace here, so the build folder cannot be hidden"
fi
without_build() {
  "${hide[@]}" bash -c 'mount -t tmpfs empty "$0" && [ -z "$(ls -A "$0")" ] && exec "$@"' "$build" "$@"
}

for program in Mindrel mindrel-list keel mktree; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not installed"
  ! ldd "$prefix/bin/$program" | grep -q 'not found' || fail "bin/$program misses a shared library"
  ! readelf -d "$prefix/bin/$program" | grep -qF "$build" || fail "bin/$program keeps a run path into the build"
done
for file in Alert.wav NoIcon.bmp Birth.bmp Marriage.bmp Divorce.bmp Death.bmp "Added fixed.bmp" \
  "Added annual.bmp" "Button Options.png" "Button Refresh.png" Help/Mindrel.qhc Help/Mindrel.qch; do
  expect_file "$prefix/share/mindrel/$file"
done
# The collection names its documentation by a path relative to itself, so it
# holds wherever the tree lies.
registered="$(/usr/bin/python3 -c 'import sqlite3, sys
print("\n".join(row[0] for row in sqlite3.connect(sys.argv[1]).execute("SELECT FilePath FROM NamespaceTable")))' \
  "$prefix/share/mindrel/Help/Mindrel.qhc")"
[ "$registered" = Mindrel.qch ] || fail "the help collection registers \"$registered\", not Mindrel.qch beside it"

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
built="$(list_alerts "$build/bin" "$work/built")"
export -f fail list_alerts
installed="$(without_build bash -c 'list_alerts "$@"' list_alerts "$prefix/bin" "$work/installed")" ||
  fail "the installed tools did not run without the build folder"
[ -n "$installed" ] || fail "the installed mindrel-list printed no alert"
[ "$installed" = "$built" ] || fail "the installed mindrel-list prints other alerts than the built one"

# A start of the installed program reads its pictures from the installed tree
# and registers the log-on start of the installed program (nothing ticked: the
# silent start ends unseen).
printf '[Prefs]\nNDBs=1\nDB0="%s"\n[Fields]\nCount=0\n' "$work/installed/tree" >"$work/installed/data/Mindrel.INI"
MINDREL_DATA_DIR="$work/installed/data" XDG_CONFIG_HOME="$work/config" WINEPREFIX="$work/no-wine" \
  QT_QPA_PLATFORM=offscreen MINDREL_TODAY=2026-12-10 \
  without_build timeout 120 strace -f -qq -e trace=openat -o "$work/opened" "$prefix/bin/Mindrel" -s ||
  fail "the installed Mindrel -s did not end unseen"
grep -F "$prefix/share/mindrel/Button Options.png" "$work/opened" | grep -qv ENOENT ||
  fail "the installed Mindrel did not read its pictures from share/mindrel"
! grep -qF "$build" "$work/opened" || fail "the installed Mindrel looked into the build folder: $(grep -F "$build" "$work/opened" | head -3)"
grep -qxF "Exec=\"$prefix/bin/Mindrel\" -s" "$work/config/autostart/Mindrel.desktop" ||
  fail "the log-on entry does not start the installed program: $(grep Exec "$work/config/autostart/Mindrel.desktop")"
echo "install tree: ok"
