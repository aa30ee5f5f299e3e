#!/usr/bin/env bash
# Makes the Debian package with CPack and checks its declared dependencies
# (that apt can meet them here, in a simulated install) and its contents, then
# unpacks it (without installing) and lists a demo tree's alerts with the
# packaged mindrel-list.
# Usage: check_package.sh BUILD_DIR
source "$(dirname "$0")/common.sh"
(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log") || { cat "$work/cpack.log" >&2; fail "cpack"; }
debs=("$work"/out/mindrel_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single mindrel_*.deb"
deb="${debs[0]}"

[ "$(dpkg-deb -f "$deb" Package)" = mindrel ] || fail "package name"
depends="$(dpkg-deb -f "$deb" Depends)"
depended="$(tr ',|' '\n\n' <<<"$depends" | sed -E 's/^ *([^ ]+).*/\1/')"
for needed in libqt6widgets6 libqt6dbus6 libqt6gui6 libqt6core6 libpulse0 zlib1g libicu72 \
  libstdc++6 libqt6sql6-sqlite libqt6help6; do
  grep -qxF "$needed" <<<"$depended" || fail "Depends lacks $needed: $depends"
done
apt-get install --simulate --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log" >&2; fail "apt cannot install the package's dependencies"; }

contents="$(dpkg-deb -c "$deb" | sed -E 's/^([^ ]+ +){5}//')"
for path in ./usr/bin/Mindrel ./usr/bin/mindrel-list ./usr/bin/keel ./usr/bin/mktree \
  ./usr/share/mindrel/Alert.wav ./usr/share/mindrel/NoIcon.bmp ./usr/share/mindrel/Help/Mindrel.qhc \
  ./usr/share/mindrel/Help/Mindrel.qch ./usr/share/applications/Mindrel.desktop \
  ./usr/share/icons/hicolor/48x48/apps/mindrel.png ./usr/share/icons/hicolor/256x256/apps/mindrel.png \
  ./usr/share/doc/mindrel/README.md; do
  grep -qxF "$path" <<<"$contents" || fail "the package lacks $path"
done
! grep -vE '^\./($|usr/)' <<<"$contents" | grep -q . || fail "the package puts files outside /usr"

dpkg-deb -x "$deb" "$work/root"
alerts="$(list_alerts "$work/root/usr/bin" "$work/run")"
[ -n "$alerts" ] || fail "the packaged mindrel-list printed no alert"
echo "package $(basename "$deb"): ok"
