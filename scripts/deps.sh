#!/usr/bin/env bash
# Checks that the Debian packages a task needs are installed; installs the missing ones when
# run as root, and otherwise says exactly what to install.
#   scripts/deps.sh build|run|test|bench|report|all
# Every package the project uses is listed here, once. The private packages are not installed
# but unpacked under .deps/ at the top of the tree (the tests load a plugin from there):
# Debian 12's pipewire-alsa conflicts with pulseaudio, and the tests need both servers.
set -euo pipefail

build_packages=(
  cmake g++ make pkg-config
  freeglut3-dev libgl-dev libglu1-mesa-dev libjpeg62-turbo-dev
  libx11-dev libxxf86vm-dev libxrandr-dev libxfixes-dev libpng-dev libasound2-dev libflac-dev
  help2man
)
run_packages=(
  ffmpeg
  x11-utils xvfb
  libasound2-plugins
  alsa-utils
)
test_packages=(
  libgtest-dev
  xserver-xorg-core xserver-xorg-video-dummy xvfb xdotool x11-utils x11-apps
  weston xwayland openbox
  pulseaudio pulseaudio-utils libpulsedsp libasound2-plugins
  pipewire pipewire-bin pipewire-pulse wireplumber dbus-daemon
  ffmpeg valgrind jq openmpt123 xmp
  clang libclang-rt-14-dev libxmp-dev
)
# Pictures and sound files: the tests draw and compare with them, the song report too.
media_packages=(imagemagick fonts-dejavu-core sox)
bench_packages=(time)
# The song's figures: the song report computes them, the tests check the computation.
report_packages=(python3-numpy)
private_packages=(pipewire-alsa)

case "${1:-all}" in
  build) wanted=("${build_packages[@]}") ;;
  run)   wanted=("${build_packages[@]}" "${run_packages[@]}") ;;
  test)  wanted=("${build_packages[@]}" "${test_packages[@]}" "${media_packages[@]}"
                 "${report_packages[@]}") ;;
  bench) wanted=("${build_packages[@]}" "${run_packages[@]}" "${test_packages[@]}"
                 "${media_packages[@]}" "${bench_packages[@]}") ;;
  report) wanted=("${build_packages[@]}" "${media_packages[@]}" "${report_packages[@]}") ;;
  all)   wanted=("${build_packages[@]}" "${run_packages[@]}" "${test_packages[@]}"
                 "${media_packages[@]}" "${bench_packages[@]}" "${report_packages[@]}") ;;
  *) echo "usage: $0 build|run|test|bench|report|all" >&2; exit 2 ;;
esac

top=$(cd "$(dirname "$0")/.." && pwd)

# apt-get ARGUMENT...: while another package manager (apt, dpkg, an unattended upgrade) holds
# the lock, says so once and tries again every 5 s, for up to QUARBTRO_APT_LOCK_WAIT seconds
# (10 minutes). apt-get's own lines about the lock are left out: the wait says it.
apt_get() {
  local limit=${QUARBTRO_APT_LOCK_WAIT:-600} waited=0 status log holder
  log=$(mktemp)
  while :; do
    status=0
    apt-get "$@" 2>&1 | tee "$log" |
      { grep -v -E '^E: (Could not get lock|Unable to (acquire|lock))' || true; } >&2 || status=$?
    if [ "$status" -eq 0 ] || ! grep -q '^E: Could not get lock' "$log"; then break; fi
    holder=$(grep -o -m 1 'held by process [0-9]* ([^)]*)' "$log" || echo 'held by another process')
    if [ "$waited" -ge "$limit" ]; then
      echo "deps.sh: the package manager's lock is still $holder after $waited s: giving up" >&2
      break
    fi
    if [ "$waited" -eq 0 ]; then
      echo "deps.sh: the package manager's lock is $holder: waiting for it (up to $limit s)" >&2
    fi
    sleep 5
    waited=$((waited + 5))
  done
  rm -f "$log"
  return "$status"
}

# Unpacks a package under .deps/NAME unless it is there already.
unpack_private() {
  local package=$1 target="$top/.deps/$1" scratch
  [ -e "$target/.unpacked" ] && return 0
  scratch=$(mktemp -d)
  if ! (cd "$scratch" && apt-get download "$package" >/dev/null 2>&1); then
    apt_get update || true
    (cd "$scratch" && apt-get download "$package" >&2) || { rm -rf "$scratch"; return 1; }
  fi
  rm -rf "$target" && mkdir -p "$target"
  dpkg-deb -x "$scratch"/*.deb "$target" && touch "$target/.unpacked"
  local status=$?
  rm -rf "$scratch"
  return $status
}

case "${1:-all}" in
  test|bench|all)
    for package in "${private_packages[@]}"; do
      unpack_private "$package" ||
        { echo "Could not unpack $package under $top/.deps (apt-get download $package)" >&2; exit 1; }
    done ;;
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
if ! apt_get install -y --no-install-recommends "${missing[@]}"; then
  apt_get update
  apt_get install -y --no-install-recommends "${missing[@]}"
fi
