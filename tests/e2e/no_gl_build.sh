#!/usr/bin/env bash
# The player and the XM tools build on a machine without the X and GL stack: configured as if
# OpenGL, GLUT, X11 and libjpeg were missing, the build says that the intro and the capture are
# left out, builds xmrender and xminfo, and they work.
set -euo pipefail
source_dir=${QUARBTRO_SOURCE:?}
build=${QUARBTRO_BUILD:?}-no-gl
mkdir -p "$build"
log="$build/configure.log"
cmake -S "$source_dir" -B "$build" -DQUARBTRO_WERROR="${QUARBTRO_WERROR:-OFF}" \
  -DCMAKE_DISABLE_FIND_PACKAGE_OpenGL=ON -DCMAKE_DISABLE_FIND_PACKAGE_GLUT=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_X11=ON -DCMAKE_DISABLE_FIND_PACKAGE_JPEG=ON >"$log" 2>&1 \
  || { cat "$log"; echo "FAIL: the configuration without X and GL fails"; exit 1; }
tr -s ' \n' ' ' <"$log" | grep -q 'The intro and the capture are left out' \
  || { cat "$log"; echo "FAIL: the configuration does not say what it leaves out"; exit 1; }
echo "ok   configured without X, GL and libjpeg; the intro and the capture are left out"
cmake --build "$build" -j "${JOBS:-2}" --target xmrender xminfo >"$build/build.log" 2>&1 \
  || { tail -n 40 "$build/build.log"; echo "FAIL: xmrender and xminfo do not build"; exit 1; }
echo "ok   xmrender and xminfo built"
for target in quarbtro quarbtro-capture; do
  if cmake --build "$build" --target "$target" >/dev/null 2>&1; then
    echo "FAIL: $target was built without X and GL"; exit 1
  fi
done
"$build/xminfo" "$source_dir/assets/song.xm" | grep -q '8 channels' \
  || { echo "FAIL: xminfo does not read the song"; exit 1; }
"$build/xmrender" "$source_dir/assets/song.xm" --seconds 1 --raw --force -o "$build/second.raw"
[ "$(stat -c %s "$build/second.raw")" -eq 176400 ] || { echo "FAIL: xmrender did not render a second"; exit 1; }
echo "ok   they read and render the song"
echo "all checks passed"
