#!/usr/bin/env bash
# Installs the Debian packages the client needs to build, run and test.
set -euo pipefail

PACKAGES=(
    cmake ninja-build g++ pkg-config
    qtbase5-dev qtdeclarative5-dev qtquickcontrols2-5-dev qtbase5-private-dev qtdeclarative5-private-dev qtquickcontrols2-5-private-dev libqt5websockets5-dev qtmultimedia5-dev
    libqt5multimedia5-plugins
    qml-module-qtquick2 qml-module-qtquick-window2 qml-module-qtquick-layouts
    qml-module-qtquick-controls2 qml-module-qtquick-dialogs
    libeasyloggingpp-dev libpulse-dev libx11-dev libxi-dev libxtst-dev libxkbcommon-dev
    xvfb x11-utils x11-xkb-utils xdotool pulseaudio pulseaudio-utils trayer
    fonts-dejavu-core libgl1-mesa-dri openssl unzip zip openbox qttranslations5-l10n
    chromium-headless-shell tk
    clang libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ] && [ "${CI:-}" != "true" ]; then
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${PACKAGES[@]}"
