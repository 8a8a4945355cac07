#!/usr/bin/env bash
# Builds the static Qt 6 for 64-bit Windows that the Windows cross-build
# uses, from Debian's own qt6-base source (the version of the host tools in
# qt6-base-dev-tools), with Debian's MinGW-w64 and the project's toolchain
# file: Core, Gui, Widgets, Test, the windows and offscreen platforms. About
# 25 minutes on 2 cores. scripts/test-windows.sh runs it when the prebuilt
# archive is not there.
#   scripts/build-qt-mingw.sh FOLDER   installs into FOLDER/qt6-mingw-static
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
dest=$(realpath -m "${1:?usage: $0 FOLDER}")
work=$dest/qt-mingw-build
prefix=$dest/qt6-mingw-static

scripts/install-deps.sh --with-qt-source

source scripts/debian-source.sh
mkdir -p "$work"
if [[ ! -f $work/qtbase-src/CMakeLists.txt ]]; then
  debian_source "$work/apt" qt6-base "$work/qtbase-src"
fi
toolchain=$work/toolchain-mingw.cmake
cp cmake/mingw-w64-x86_64.cmake "$toolchain"

# Debian's source lacks src/3rdparty/wintab: no tablet events, and Direct2D
# without its 1.1 part (Direct2D itself must stay: the font database needs
# it). A Debian patch builds androiddeployqt even when cross-compiling.
cmake -S "$work/qtbase-src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF \
  -DFEATURE_concurrent=OFF -DFEATURE_printsupport=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no \
  -DFEATURE_vulkan=OFF -DFEATURE_testlib=ON -DFEATURE_tabletevent=OFF \
  -DFEATURE_direct2d=ON -DFEATURE_direct2d1_1=OFF -DFEATURE_androiddeployqt=OFF \
  -DFEATURE_windeployqt=OFF -DFEATURE_qmake=OFF -DFEATURE_icu=OFF -DFEATURE_zstd=OFF \
  -DFEATURE_glib=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF \
  -DFEATURE_system_png=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_system_doubleconversion=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_ico=ON
cmake --build "$work/build"
rm -rf "$prefix"
cmake --install "$work/build" > /dev/null

# What only qmake would read goes; the toolchain file goes to the folder's
# root, and the two absolute paths into it become relative, so that the
# folder works wherever it is unpacked.
find "$prefix" -name '*.prl' -delete
rm -f "$prefix"/mkspecs/modules/qt_ext_*.pri "$prefix/bin/qmake" "$prefix/bin/target_qt.conf"
cp "$toolchain" "$prefix/toolchain-mingw.cmake"
sed -i "s|\"$toolchain\"|\"\${CMAKE_CURRENT_LIST_DIR}/../../../toolchain-mingw.cmake\"|" \
  "$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
sed -i "s|\"$prefix\"|\"\${CMAKE_CURRENT_LIST_DIR}/../../..\"|" \
  "$prefix/lib/cmake/Qt6BuildInternals/QtBuildInternalsExtra.cmake"
echo "$prefix"
