#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and `make run` need.
# Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libcurl4-openssl-dev libgumbo-dev libcpp-httplib-dev
  xvfb xauth x11-apps imagemagick xdotool xclip
  g++-mingw-w64-x86-64
  clang libclang-rt-14-dev
  qt6-charts-dev libqt6opengl6-dev time
)

# --- locales the round-trip tests run under ---------------------------------
test_locales=(en_US de_DE en_GB fr_FR ja_JP ar_EG)
packages+=(locales)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

sudo=""
if [[ $(id -u) -ne 0 ]]; then
  sudo=sudo
fi

if ((${#missing[@]} > 0)); then
  echo "bootstrap: installing ${missing[*]}"
  if [[ -n $sudo ]]; then
    command -v sudo >/dev/null || { echo "bootstrap: need root (or sudo) to install ${missing[*]}" >&2; exit 1; }
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# --- locale generation (only the ones `locale -a` lacks) --------------------
have_locales=$(locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]')
for l in "${test_locales[@]}"; do
  want=$(echo "$l.utf8" | tr '[:upper:]' '[:lower:]')
  if ! grep -qx "$want" <<<"$have_locales"; then
    echo "bootstrap: generating $l.UTF-8"
    $sudo localedef -i "$l" -f UTF-8 "$l.UTF-8"
  fi
done
