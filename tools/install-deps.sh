#!/usr/bin/env bash
# Installs the Debian packages a job needs; quick when they are all present.
# Usage: tools/install-deps.sh main|test|fuzz|bench
set -euo pipefail
build=(cmake make g++ pkg-config zlib1g-dev libgtest-dev googletest
       g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev
       wine wine64 xvfb x11-utils xauth python3
       nsis osslsigncode openssl)
case "${1:-test}" in
    # The main job serves its own update server, gives the wireless sensor a
    # serial port on a pseudo-terminal and takes screenshots.
    main) want=("${build[@]}" imagemagick python3-pyftpdlib socat) ;;
    # Peers that read our archives, socat for serial ports over pseudo-terminals,
    # a local FTP server for the update check, and pigz, the parallel-deflate
    # anchor of bench/zip_bench.
    test) want=("${build[@]}" unzip zip pigz 7zip libarchive-tools socat python3-pyftpdlib) ;;
    # clang with libFuzzer for the fuzz targets (sensor-server DATA, plate-scanner datagrams).
    fuzz) want=("${build[@]}" clang libclang-rt-14-dev) ;;
    # The benchmarks measure against pigz and OpenCV; the product never links OpenCV.
    # perf profiles the image kernels.
    bench) want=("${build[@]}" pigz libopencv-imgproc-dev linux-perf) ;;
    *) echo "usage: $0 main|test|fuzz|bench" >&2; exit 2 ;;
esac
missing=()
for p in "${want[@]}"; do
    if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
        missing+=("$p")
    fi
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    SUDO=
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${missing[@]}" >/dev/null
fi
