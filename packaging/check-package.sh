#!/usr/bin/env bash
# Checks what an installation of tumbla holds and that it runs from there: installs the
# build under a scratch prefix, then makes the Debian package, reads its control data and
# file list, has lintian check it (no error, no warning), unpacks it into a scratch root
# and runs the game from that. Needs a display.
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

# The files an installation has, under the prefix $1, with the binary in its folder $2
# and the bundle in $3.
check_tree() {
  local prefix=$1 bin=$2 data=$3
  for file in "$bin/tumbla" "$data/Info.plist" "$data/Defaults.plist" "$data/index.html" \
      "$data/index~ipad.html" "$data/tumbla.js" "$data/game/game.js" "$data/tumbla.png" \
      "$data/medical.png" "$data/alertbackground.png" "$data/click.caf" "$data/track9.caf" \
      share/applications/tumbla.desktop share/icons/hicolor/256x256/apps/tumbla.png \
      share/man/man6/tumbla.6.gz share/doc/tumbla/copyright share/doc/tumbla/README.md.gz \
      share/doc/tumbla/page-api.md.gz lib/tumbla/tumbla-game; do
    [ -e "$prefix/$file" ] || fail "$prefix has no $file"
  done
  grep -qx 'Exec=tumbla' "$prefix/share/applications/tumbla.desktop" || fail "desktop entry: Exec"
  grep -qx 'Icon=tumbla' "$prefix/share/applications/tumbla.desktop" || fail "desktop entry: Icon"
  # Every option of the README's table is in the manual page, which names no README
  # section without saying where the installed README is.
  local manual options
  manual=$(gzip -dc "$prefix/share/man/man6/tumbla.6.gz" | sed 's/\\-/-/g')
  options=$(sed -n '/^## Running tumbla/,/^## /p' "$root/README.md" | grep -o '^| `--[a-z-]*' |
    sed 's/^| `//')
  [ -n "$options" ] || fail "no options found in the README"
  for option in $options; do
    grep -q -- "$option" <<<"$manual" || fail "the manual page lacks $option"
  done
  if grep -n "README's" <<<"$manual"; then fail "the manual page points into a README it lacks"; fi
}

echo "== install under a prefix"
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
check_tree "$scratch/prefix" bin share/tumbla
page=$(started_page "$scratch/prefix/bin/tumbla")
[ "$page" = "$scratch/prefix/share/tumbla/index.html" ] || fail "installed tumbla loaded $page"

echo "== Debian package"
# The maintainer is said when the package is made: the one configured, else the check's own.
maintainer=$(sed -n 's/^TUMBLA_PACKAGE_MAINTAINER:STRING=//p' "$build/CMakeCache.txt")
if [ -z "$maintainer" ]; then
  # Without one, making the package fails and says why.
  if (cd "$build" && env -u DEBFULLNAME -u DEBEMAIL cpack -G DEB -B "$scratch/nobody" \
      >"$scratch/nobody.log" 2>&1); then
    fail "a package without a maintainer was made"
  fi
  grep -q 'Who maintains this package' "$scratch/nobody.log" ||
    fail "no maintainer, and not said so: $(cat "$scratch/nobody.log")"
  export DEBFULLNAME="Package Check" DEBEMAIL=package-check@example.org
  maintainer="$DEBFULLNAME <$DEBEMAIL>"
fi
(cd "$build" && cpack -G DEB -B "$scratch/deb" >/dev/null)
deb=$(ls "$scratch"/deb/tumbla_*.deb)
[ "$(dpkg-deb -f "$deb" Package)" = tumbla ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Maintainer)" = "$maintainer" ] ||
  fail "Maintainer: $(dpkg-deb -f "$deb" Maintainer)"
depends=$(dpkg-deb -f "$deb" Depends)
# The last three are loaded when first used, so they are named by hand, not found by dpkg.
for library in libwebkit2gtk-4.1-0 libgtk-3-0 libplist libcurl4 libsdl2-2.0-0 libsndfile1; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
listing=$(dpkg-deb -c "$deb")
for file in ./usr/games/tumbla ./usr/lib/tumbla/tumbla-game ./usr/share/games/tumbla/index.html \
    ./usr/share/applications/tumbla.desktop ./usr/share/man/man6/tumbla.6.gz \
    ./usr/share/doc/tumbla/changelog.Debian.gz; do
  grep -q " $file\$" <<<"$listing" || fail "the package lacks $file"
done
! grep -q ' ./usr/bin/' <<<"$listing" || fail "a game's binary belongs in /usr/games"
lintian --fail-on error,warning --tag-display-limit 0 "$deb" ||
  fail "lintian found errors or warnings"
dpkg-deb -x "$deb" "$scratch/root"
check_tree "$scratch/root/usr" games share/games/tumbla
gzip -dc "$scratch/root/usr/share/doc/tumbla/changelog.Debian.gz" | grep -q "^ -- $maintainer  " ||
  fail "the changelog is not signed by the maintainer"
# Each program stripped, with its symbols beside the package in the file its debug link names.
for program in games/tumbla lib/tumbla/tumbla-game; do
  binary="$scratch/root/usr/$program"
  symbols="$(basename "$program").debug"
  ! readelf -S "$binary" | grep -q '\.debug_info' || fail "the packaged $program has debug symbols"
  readelf --string-dump=.gnu_debuglink "$binary" | grep -qF "$symbols" ||
    fail "the packaged $program names no $symbols"
  readelf -S "$scratch/deb/$symbols" 2>/dev/null | grep -q '\.debug_info' ||
    fail "no debug symbols in $scratch/deb/$symbols"
done
binary="$scratch/root/usr/games/tumbla"
page=$(started_page "$binary")
[ "$page" = "$scratch/root/usr/share/games/tumbla/index.html" ] || fail "unpacked tumbla loaded $page"
echo "package $(basename "$deb"): Depends: $depends"
