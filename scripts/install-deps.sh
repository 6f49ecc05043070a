#!/usr/bin/env bash
# Installs everything needed to build, run and test tumbla on Debian 12.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
  # the real platform
  libgtk-3-dev libwebkit2gtk-4.1-dev libplist-dev libcurl4-openssl-dev
  # sound: decoding and the mixer
  libsndfile1-dev libsdl2-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  rapidjson-dev nlohmann-json3-dev libsimdjson-dev
  # headless runs and screenshots
  xvfb xauth dbus dbus-x11 x11-utils imagemagick python3 python3-pyatspi at-spi2-core xdotool
  # a window manager beside the display, for the tests that drive the real pointer and keys
  openbox
  # where a stuck end-to-end run stands, for its failure report
  gdb
  # the test command: formatting check over the tracked files, and the players' locales
  git locales
  # the game page's script tests
  nodejs
  # the Debian package: file finds the binaries to strip, lintian checks the result
  file lintian
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Another installation holding the package manager's lock is waited for, not an error.
apt_wait=(-o DPkg::Lock::Timeout=600)
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get "${apt_wait[@]}" update -qq
  $SUDO apt-get "${apt_wait[@]}" install -y -qq --no-install-recommends "${missing[@]}"
fi

# The tests run again under locales whose decimal comma and dotless i catch numbers and
# names that follow the locale.
test_locales=(de_DE.UTF-8 tr_TR.UTF-8)
have_locales=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
to_generate=()
for l in "${test_locales[@]}"; do
  short=$(printf '%s' "$l" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
  grep -qx "$short" <<<"$have_locales" || to_generate+=("$l")
done
if [ ${#to_generate[@]} -gt 0 ]; then
  for l in "${to_generate[@]}"; do
    if grep -q "^# *$l UTF-8" /etc/locale.gen; then
      $SUDO sed -i "s/^# *$l UTF-8/$l UTF-8/" /etc/locale.gen
    elif ! grep -q "^$l UTF-8" /etc/locale.gen; then
      echo "$l UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    fi
  done
  $SUDO locale-gen >/dev/null
fi
