#!/bin/sh
# Installs the Debian packages that building, running and testing Vorbel need
# and that this machine lacks. Touches no package manager when none is missing.
set -eu

packages="
cmake
ninja-build
make
g++
libgtest-dev
libbenchmark-dev
qt6-base-dev
fonts-liberation
fonts-dejavu-core
python3
desktop-file-utils
appstream
dpkg-dev
file
clang
libclang-rt-14-dev
"

missing=""
for package in $packages; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    case "$status" in
        *" installed") ;;
        *) missing="$missing $package" ;;
    esac
done

[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo"
else
    echo "These packages are missing and installing them needs root:$missing" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$as_root apt-get update
# shellcheck disable=SC2086
$as_root apt-get install -y --no-install-recommends $missing
