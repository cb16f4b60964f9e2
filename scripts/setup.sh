#!/usr/bin/env bash
# Installs every Debian package the project builds, runs and tests with.
# The only place dependencies are listed; a no-op when all are present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-tools-dev-tools
  qt6-webengine-dev qml6-module-qtwebengine qt6-httpserver-dev qt6-svg-dev
  qt6-5compat-dev qml6-module-qt5compat-graphicaleffects
  qml6-module-qtquick-controls qml6-module-qtquick-layouts qml6-module-qtquick-templates
  qml6-module-qtqml-workerscript qml6-module-qtquick-window qml6-module-qttest
  qml6-module-qt-labs-platform qml6-module-qtquick-dialogs
  libqt6sql6-sqlite qt6-image-formats-plugins qtkeychain-qt6-dev
  qcoro-qt6-dev libplist-dev libplist++-dev libarchive-dev
  libx11-dev libxcb1-dev libxrandr-dev libsystemd-dev
  fonts-dejavu-core fonts-material-design-icons-iconfont
  zlib1g-dev
  psmisc dbus dbus-x11 xvfb xauth x11-utils xdotool trayer imagemagick curl sqlite3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "setup: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
