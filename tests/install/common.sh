# Shared by the install checks: the build folder from the first argument, a
# scratch folder removed at exit, failure reporting and a demo tree run.
set -euo pipefail
build="$(cd "$1" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

expect_file() {
  [ -f "$1" ] || fail "missing $1"
}

# list_alerts BIN_DIR WORK: makes a demo tree with the programs in BIN_DIR,
# configures it in a data folder of its own and prints mindrel-list's alerts.
list_alerts() {
  local bin="$1" work="$2"
  "$bin/mktree" "$work/tree" --people 120 --seed 7 --today 2026-12-10 >/dev/null || fail "mktree from $bin"
  mkdir -p "$work/data"
  printf '[Prefs]\nNDBs=1\nDB0="%s"\n' "$work/tree" >"$work/data/Mindrel.INI"
  WINEPREFIX="$work/no-wine" "$bin/mindrel-list" --today 2026-12-10 --data-dir "$work/data" ||
    fail "mindrel-list from $bin"
}
