#!/usr/bin/env bash
# Installs what vers needs to build and test on Debian, as root. Does nothing
# when everything is there already.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config clang
  libgtest-dev libgmock-dev libbenchmark-dev
  libminizip-dev libisal-dev zlib1g-dev libexpat1-dev libssl-dev
  qt6-base-dev libgl-dev
  locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The tests run under a Russian and an English locale (dates, 12-hour clock).
need_locales=()
for l in ru_RU.UTF-8 en_US.UTF-8; do
  locale -a 2>/dev/null | grep -qi "^${l%.UTF-8}.utf8$" || need_locales+=("$l")
done
if [ ${#need_locales[@]} -gt 0 ]; then
  for l in "${need_locales[@]}"; do
    sed -i "s/^# *\(${l} UTF-8\)/\1/" /etc/locale.gen
    grep -q "^${l} UTF-8" /etc/locale.gen || echo "${l} UTF-8" >> /etc/locale.gen
  done
  locale-gen >/dev/null
fi
