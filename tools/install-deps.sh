#!/bin/sh
# Installs every Debian 12 package Skylark needs to build, run and test.
set -e
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y \
    build-essential cmake ninja-build pkg-config \
    qt6-base-dev qt6-base-dev-tools libqt6serialport6-dev libgl-dev \
    portaudio19-dev libsndfile1-dev libhamlib-dev \
    libgtest-dev libgmock-dev libbenchmark-dev \
    clang libclang-rt-14-dev \
    socat direwolf sox xxd libhamlib-utils gpsd gpsd-clients \
    lintian appstream desktop-file-utils
