# Real XM files for the end-to-end tests: the modules of Debian's heroes-sound-tracks package,
# fetched once with apt-get download and unpacked with dpkg-deb into a cache directory under
# the build directory (nothing of it enters the source tree).
#   source tests/lib/real_modules.sh
#   fetch_real_modules || exit 1   # then: "${real_modules[@]}" are the .xm files
fetch_real_modules() {
  local cache="${QUARBTRO_BUILD:?}/cache/heroes-sound-tracks"
  local mods="$cache/root/usr/share/games/heroes/mod"
  if ! compgen -G "$mods/*.xm" >/dev/null; then
    rm -rf "$cache"
    mkdir -p "$cache/download"
    # apt's download user must be able to write here.
    chmod 777 "$cache/download"
    local log="$cache/download.log"
    if ! (cd "$cache/download" && apt-get download heroes-sound-tracks) >"$log" 2>&1; then
      # The package lists may be missing or stale on a fresh machine.
      [ "$(id -u)" -eq 0 ] && apt-get update >>"$log" 2>&1
      (cd "$cache/download" && apt-get download heroes-sound-tracks) >>"$log" 2>&1 || {
        echo "cannot fetch heroes-sound-tracks:" >&2
        tail -n 5 "$log" >&2
        return 1
      }
    fi
    dpkg-deb -x "$cache"/download/heroes-sound-tracks_*.deb "$cache/root" || return 1
  fi
  real_modules=("$mods"/*.xm)
}
