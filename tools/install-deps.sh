#!/usr/bin/env bash
# Installs the Debian packages varnok needs to build and test, if any is missing.
set -eu
pkgs="cmake g++ make libgtest-dev libbenchmark-dev bison flex git"
missing=""
for p in $pkgs; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing
fi
