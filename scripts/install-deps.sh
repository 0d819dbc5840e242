#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build, the tests and the
# application need and this machine does not have yet.
set -euo pipefail

PACKAGES=(
  qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libqcustomplot-dev
  libspdlog-dev libboost-stacktrace-dev libssl-dev cmake ninja-build g++
  fonts-wqy-zenhei xvfb xauth qttranslations5-l10n
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
