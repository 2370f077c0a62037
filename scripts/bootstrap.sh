#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and `make run` need.
# Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libxcb1-dev
  libcurl4-openssl-dev libgumbo-dev libcpp-httplib-dev
  xvfb xauth x11-apps x11-utils imagemagick xdotool xclip
  g++-mingw-w64-x86-64
  clang libclang-rt-14-dev
  locales tzdata openbox
  qt6-charts-dev libqt6opengl6-dev time
  desktop-file-utils appstream man-db lintian librsvg2-bin dpkg-dev
  poppler-utils
  qt6-base-private-dev dbus-daemon at-spi2-core python3-pyatspi
  qt6-httpserver-dev qt6-websockets-dev libmosquitto-dev
  mosquitto mosquitto-clients prometheus dunst dbus curl
)

# The locales the tests run the program under (C.UTF-8 comes with libc).
# en_CA and es_MX print on Letter, which the report tests check.
test_locales=(en_US en_GB de_DE fr_FR ja_JP ar_EG en_CA es_MX)

sudo=""
if [[ $(id -u) -ne 0 ]]; then
  sudo=sudo
fi

make_locales() {
  local have name
  have=$(locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]')
  for name in "${test_locales[@]}"; do
    if ! grep -qx "$(tr '[:upper:]' '[:lower:]' <<<"$name").utf8" <<<"$have"; then
      echo "bootstrap: generating the locale $name.UTF-8"
      $sudo localedef -i "$name" -f UTF-8 "$name.UTF-8"
    fi
  done
}

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} > 0)); then
  echo "bootstrap: installing ${missing[*]}"
  if [[ -n $sudo ]]; then
    command -v sudo >/dev/null || { echo "bootstrap: need root (or sudo) to install ${missing[*]}" >&2; exit 1; }
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
make_locales
