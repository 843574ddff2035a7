#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
# Sourced by ./run and ./test.
pontiq_packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libsqlite3-dev libpcap-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  iproute2 tshark sqlite3 xvfb xauth
  curl tftp-hpa
)
pontiq_install_deps() {
  local missing=() p
  for p in "${pontiq_packages[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
