# Real XM files for the end-to-end tests: the modules of Debian's heroes-sound-tracks package,
# fetched once with apt-get download and unpacked with dpkg-deb into a cache directory under
# the build directory (nothing of it enters the source tree).
#   source tests/lib/real_modules.sh
#   fetch_real_modules || exit 1   # then: "${real_modules[@]}" are the .xm files
#   fetch_package NAME || exit 1   # any Debian package the same way: unpacked in "$package_root"

# Fetches and unpacks a Debian package into $QUARBTRO_BUILD/cache/NAME/root once, and sets
# package_root to that folder.
fetch_package() {
  local name=$1
  local cache="${QUARBTRO_BUILD:?}/cache/$name"
  package_root="$cache/root"
  [ -f "$cache/unpacked" ] && return 0
  rm -rf "$cache"
  mkdir -p "$cache/download"
  # apt's download user must be able to write here.
  chmod 777 "$cache/download"
  local log="$cache/download.log"
  if ! (cd "$cache/download" && apt-get download "$name") >"$log" 2>&1; then
    # The package lists may be missing or stale on a fresh machine.
    [ "$(id -u)" -eq 0 ] && apt-get update >>"$log" 2>&1
    (cd "$cache/download" && apt-get download "$name") >>"$log" 2>&1 || {
      echo "cannot fetch $name:" >&2
      tail -n 5 "$log" >&2
      return 1
    }
  fi
  dpkg-deb -x "$cache"/download/"$name"_*.deb "$package_root" || return 1
  touch "$cache/unpacked"
}

fetch_real_modules() {
  fetch_package heroes-sound-tracks || return 1
  real_modules=("$package_root"/usr/share/games/heroes/mod/*.xm)
}
