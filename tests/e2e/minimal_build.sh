#!/usr/bin/env bash
# The player and the XM tools build on a machine with nothing beyond the compiler: configured as
# if OpenGL, GLUT, X11, libjpeg, ALSA, libFLAC (no pkg-config file) and help2man were missing,
# the configuration says what it leaves out, builds xmrender and xminfo, and they work; xmrender
# says it writes no FLAC instead of writing something else.
set -euo pipefail
source_dir=${QUARBTRO_SOURCE:?}
build=${QUARBTRO_BUILD:?}-minimal
mkdir -p "$build/no-pkg-config-files"
log="$build/configure.log"
PKG_CONFIG_LIBDIR="$build/no-pkg-config-files" PKG_CONFIG_PATH= \
  cmake -S "$source_dir" -B "$build" -DQUARBTRO_WERROR="${QUARBTRO_WERROR:-OFF}" \
  -DCMAKE_DISABLE_FIND_PACKAGE_OpenGL=ON -DCMAKE_DISABLE_FIND_PACKAGE_GLUT=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_X11=ON -DCMAKE_DISABLE_FIND_PACKAGE_JPEG=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_ALSA=ON -DHELP2MAN=OFF >"$log" 2>&1 \
  || { cat "$log"; echo "FAIL: the configuration without X, GL, ALSA, libFLAC and help2man fails"; exit 1; }
said=$(tr -s ' \n' ' ' <"$log")
for left_out in 'The intro and the capture are left out' \
  'Not found: ALSA. The sound output, xmplay, the intro and the capture are left out' \
  'Not found: libFLAC. xmrender is built without its FLAC output' \
  'Not found: help2man. The man pages are left out'; do
  grep -q -F "$left_out" <<<"$said" \
    || { cat "$log"; echo "FAIL: the configuration does not say \"$left_out\""; exit 1; }
done
echo "ok   configured without X, GL, libjpeg, ALSA, libFLAC and help2man; it says what it leaves out"
cmake --build "$build" -j "${JOBS:-2}" --target xmrender xminfo >"$build/build.log" 2>&1 \
  || { tail -n 40 "$build/build.log"; echo "FAIL: xmrender and xminfo do not build"; exit 1; }
echo "ok   xmrender and xminfo built"
for target in quarbtro quarbtro-capture xmplay man-pages; do
  if cmake --build "$build" --target "$target" >/dev/null 2>&1; then
    echo "FAIL: $target was built without what it needs"; exit 1
  fi
done
echo "ok   the intro, the capture, xmplay and the man pages are left out"
"$build/xminfo" "$source_dir/assets/song.xm" | grep -q '8 channels' \
  || { echo "FAIL: xminfo does not read the song"; exit 1; }
"$build/xmrender" "$source_dir/assets/song.xm" --seconds 1 --raw --force -o "$build/second.raw"
[ "$(stat -c %s "$build/second.raw")" -eq 176400 ] || { echo "FAIL: xmrender did not render a second"; exit 1; }
echo "ok   they read and render the song"
rm -f "$build/second.flac"
status=0
"$build/xmrender" "$source_dir/assets/song.xm" --seconds 1 -o "$build/second.flac" 2>"$build/flac.err" || status=$?
[ "$status" -eq 2 ] && grep -q 'built without libFLAC' "$build/flac.err" && [ ! -e "$build/second.flac" ] \
  || { cat "$build/flac.err"; echo "FAIL: xmrender without libFLAC, asked for FLAC: status $status"; exit 1; }
echo "ok   asked for FLAC, xmrender says it was built without libFLAC and writes nothing"
echo "all checks passed"
