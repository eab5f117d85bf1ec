#!/bin/sh
# Installs the Debian packages that a purpose needs and that this machine
# lacks; touches no package manager when none is missing.
#   deps.sh PURPOSE...   PURPOSE: run test bench fuzz package
# Every purpose builds the program, so each brings the run list as well.
set -eu

# Building and running Vorbel. qt6-base-dev brings Qt Test and the platform
# plugins along; nlohmann-json3-dev reads and checks the design files' JSON;
# libeigen3-dev finds the roots of imported polynomials; libxcb1-dev paints
# the window's edges on X; Qt Multimedia plays the Listen dock's sound,
# libsndfile reads and writes sound files, libsoxr converts sample rates, and
# pkgconf finds those two for CMake.
run="
g++
cmake
ninja-build
make
pkgconf
qt6-base-dev
nlohmann-json3-dev
libeigen3-dev
libxcb1-dev
qt6-multimedia-dev
libsndfile1-dev
libsoxr-dev
fonts-liberation
fonts-dejavu-core
"

# The tests: GoogleTest, Python for the check of the committed pictures,
# NumPy and SciPy for the texts the import is tested against, and an X server
# of the window test's own. The code exports are run by the tools they are
# written for: the Faust compiler, and Octave with its signal package for
# sosfilt (about 130 MB of packages, some 25 s to install from the archive).
# The test with a real sound server runs where pulseaudio and
# pulseaudio-utils are installed and skips elsewhere; they are deliberately
# not listed, because installing pulseaudio on a desktop that runs PipeWire
# would replace its pipewire-pulse.
test="
libgtest-dev
python3
python3-numpy
python3-scipy
xvfb
faust
octave
octave-signal
"

bench="
libbenchmark-dev
"

# The fuzzer needs clang's libFuzzer and sanitizer runtimes.
fuzz="
clang
libclang-rt-14-dev
"

# The Debian package and the validators of what it installs.
package="
dpkg-dev
desktop-file-utils
appstream
file
"

if [ $# -eq 0 ]; then
    echo "usage: deps.sh run|test|bench|fuzz|package..." >&2
    exit 2
fi
packages=$run
for purpose in "$@"; do
    case $purpose in
        run) ;;
        test) packages="$packages $test" ;;
        bench) packages="$packages $bench" ;;
        fuzz) packages="$packages $fuzz" ;;
        package) packages="$packages $package" ;;
        *)
            echo "deps.sh: unknown purpose '$purpose' (run, test, bench, fuzz or package)" >&2
            exit 2
            ;;
    esac
done

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
