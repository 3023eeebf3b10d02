#!/usr/bin/env bash
# Installs what building, testing and the demo need on Debian 12. Run as root;
# safe to run again (does nothing when everything is present).
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config git
          libomniorb4-dev omniidl omniorb libssl-dev
          libsqlite3-dev libcrypt-dev openssl
          libgtest-dev libgmock-dev libbenchmark-dev valgrind librapidcheck-dev
          libcli11-dev nlohmann-json3-dev gcovr)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
