#!/usr/bin/env bash
# Checks what an installation of tumbla holds and that it runs from there: installs the
# build under a scratch prefix, then makes the Debian package, reads its control data and
# file list, unpacks it into a scratch root and runs the game from that. Needs a display.
# Usage: check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "check-package: $*" >&2
  exit 1
}

# Starts the tumbla at $1 with its default bundle until the game has started, stops it,
# and prints the page it loaded.
started_page() {
  local tumbla=$1 data
  data=$(mktemp -d -p "$scratch")
  "$tumbla" --data-dir "$data" --trace "$data/trace" 2>"$data/stderr" &
  local pid=$!
  for _ in $(seq 1 1200); do
    grep -q 'Tumbla.setShakeToUndo' "$data/trace" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" || fail "$tumbla ended with status $?: $(cat "$data/stderr")"
  grep -q '"script":"Tumbla.init()","answered":true' "$data/trace" ||
    fail "$tumbla did not start the game: $(cat "$data/stderr")"
  grep -o '"url":"file://[^"]*\.html"' "$data/trace" | head -1 | sed 's/"url":"file:\/\///; s/"$//'
}

# The files an installation has, under the prefix $1.
check_tree() {
  local prefix=$1
  for file in bin/tumbla share/tumbla/Info.plist share/tumbla/Defaults.plist \
      share/tumbla/index.html "share/tumbla/index~ipad.html" share/tumbla/tumbla.js \
      share/tumbla/game/game.js share/tumbla/tumbla.png share/tumbla/click.caf \
      share/tumbla/track9.caf share/applications/tumbla.desktop \
      share/icons/hicolor/256x256/apps/tumbla.png share/man/man1/tumbla.1.gz \
      lib/tumbla/tumbla-game; do
    [ -e "$prefix/$file" ] || fail "$prefix has no $file"
  done
  grep -qx 'Exec=tumbla' "$prefix/share/applications/tumbla.desktop" || fail "desktop entry: Exec"
  grep -qx 'Icon=tumbla' "$prefix/share/applications/tumbla.desktop" || fail "desktop entry: Icon"
  # Every option of the README's table is in the manual page.
  local manual options
  manual=$(gzip -dc "$prefix/share/man/man1/tumbla.1.gz" | sed 's/\\-/-/g')
  options=$(sed -n '/^## Running tumbla/,/^## /p' "$root/README.md" | grep -o '^| `--[a-z-]*' |
    sed 's/^| `//')
  [ -n "$options" ] || fail "no options found in the README"
  for option in $options; do
    grep -q -- "$option" <<<"$manual" || fail "the manual page lacks $option"
  done
}

echo "== install under a prefix"
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
check_tree "$scratch/prefix"
page=$(started_page "$scratch/prefix/bin/tumbla")
[ "$page" = "$scratch/prefix/share/tumbla/index.html" ] || fail "installed tumbla loaded $page"

echo "== Debian package"
(cd "$build" && cpack -G DEB -B "$scratch/deb" >/dev/null)
deb=$(ls "$scratch"/deb/tumbla_*.deb)
[ "$(dpkg-deb -f "$deb" Package)" = tumbla ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libwebkit2gtk-4.1-0 libgtk-3-0 libplist; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
listing=$(dpkg-deb -c "$deb")
for file in ./usr/bin/tumbla ./usr/lib/tumbla/tumbla-game ./usr/share/tumbla/index.html \
    ./usr/share/applications/tumbla.desktop ./usr/share/man/man1/tumbla.1.gz; do
  grep -q " $file\$" <<<"$listing" || fail "the package lacks $file"
done
dpkg-deb -x "$deb" "$scratch/root"
check_tree "$scratch/root/usr"
page=$(started_page "$scratch/root/usr/bin/tumbla")
[ "$page" = "$scratch/root/usr/share/tumbla/index.html" ] || fail "unpacked tumbla loaded $page"
echo "package $(basename "$deb"): Depends: $depends"
