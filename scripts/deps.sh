#!/usr/bin/env bash
# Checks that the Debian packages a task needs are installed; installs the missing ones when
# run as root, and otherwise says exactly what to install.
#   scripts/deps.sh build|run|test|bench|all
# Every package the project uses is listed here, once.
set -euo pipefail

build_packages=(
  cmake g++ make pkg-config
  freeglut3-dev libgl-dev libglu1-mesa-dev libjpeg62-turbo-dev
  libx11-dev libxxf86vm-dev libpng-dev
)
run_packages=(
  ffmpeg
  x11-utils xvfb
  pulseaudio-utils libpulsedsp
)
test_packages=(
  libgtest-dev
  xserver-xorg-core xserver-xorg-video-dummy xvfb xdotool x11-utils
  pulseaudio pulseaudio-utils
  imagemagick fonts-dejavu-core ffmpeg sox valgrind jq openmpt123
  clang libclang-rt-14-dev libxmp-dev
)
bench_packages=(time)

case "${1:-all}" in
  build) wanted=("${build_packages[@]}") ;;
  run)   wanted=("${build_packages[@]}" "${run_packages[@]}") ;;
  test)  wanted=("${build_packages[@]}" "${test_packages[@]}") ;;
  bench) wanted=("${build_packages[@]}" "${run_packages[@]}" "${test_packages[@]}" "${bench_packages[@]}") ;;
  all)   wanted=("${build_packages[@]}" "${run_packages[@]}" "${test_packages[@]}" "${bench_packages[@]}") ;;
  *) echo "usage: $0 build|run|test|bench|all" >&2; exit 2 ;;
esac

missing=()
for package in $(printf '%s\n' "${wanted[@]}" | sort -u); do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "These Debian packages are missing: ${missing[*]}" >&2
  echo "Install them with:  sudo apt-get install ${missing[*]}" >&2
  exit 1
fi

echo "Installing Debian packages: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
if ! apt-get install -y --no-install-recommends "${missing[@]}" >&2; then
  apt-get update >&2
  apt-get install -y --no-install-recommends "${missing[@]}" >&2
fi
