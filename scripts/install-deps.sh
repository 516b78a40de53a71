#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; does
# nothing when all of them are present already.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config
  qtbase5-dev libqt5serialport5-dev qtconnectivity5-dev
  qttools5-dev qttools5-dev-tools libqt5charts5-dev
  libpcsclite-dev pcscd vsmartcard-vpcd
  libmodbus-dev socat
  dbus-daemon
  clang libclang-rt-14-dev
  poppler-utils
  libbenchmark-dev
)

missing=()
for package in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
