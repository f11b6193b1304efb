#!/usr/bin/env bash
# The SDK from outside, after installing a build into a fresh prefix through DESTDIR.
#   headers: every installed header includes only installed headers (its own as "portab/...",
#            others only from the C++ standard library) and compiles on its own.
#   example: the example profile plug-in, built from its installed sources against that tree
#            alone (CMake package and pkg-config), registered, its device added to a network,
#            command 13 handed to it by portab; it reads its parameters from the device and a
#            window script writes two; then the guide's plug-in, from the installed guide.
# Usage: sdk_test.sh headers|example <build folder> <source folder>
set -euo pipefail
mode=$1
build=$(cd "$2" && pwd)
source=$(cd "$3" && pwd)
work=$(mktemp -d -t portab-sdk-XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=/opt/portab-sdk
DESTDIR="$work/root" cmake --install "$build" --prefix "$prefix" >"$work/install.log"
root=$work/root$prefix
libdir=$root/$(sed -n 's/^CMAKE_INSTALL_LIBDIR:[A-Z]*=//p' "$build/CMakeCache.txt")
includes=$root/include
fail() { echo "sdk test: $*" >&2; exit 1; }
# No window: the plug-ins run as on a machine without a display.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

if [ "$mode" = headers ]; then
  [ -f "$includes/portab/portab.h" ] || fail "no include/portab/portab.h"
  [ -f "$includes/portab/base/product.h" ] || fail "the version header base/product.h is not installed"
  headers=$(cd "$includes" && find portab -name '*.h' | sort)
  [ "$(echo "$headers" | wc -l)" -ge 40 ] || fail "only $(echo "$headers" | wc -l) headers installed"
  for header in $headers; do
    for included in $(grep -o '#include ["<][^">]*[">]' "$includes/$header" | sed 's/#include .\(.*\)./\1/'); do
      case $included in
        portab/*) [ -f "$includes/$included" ] || fail "$header includes $included, which is not installed" ;;
        */* | *.h | *.hpp) fail "$header includes $included, which is neither portab's nor the standard library's" ;;
      esac
    done
  done
  for header in $headers; do
    printf '#include <%s>\n#include <%s>\n' "$header" "$header" >"$work/one.cpp"
    c++ -std=c++20 -fsyntax-only -I"$includes" "$work/one.cpp" || fail "$header does not compile on its own"
  done
  grep -q "PORTAB_VERSION_STRING \"$(sed -n 's/^project(portab VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")\"" \
    "$includes/portab/base/product.h" || fail "the version header does not hold the project version"
  echo "sdk test: ok ($(echo "$headers" | wc -l) installed headers)"
  exit 0
fi

# The example, built from its installed sources with nothing but the installed tree.
cp -r "$root/share/doc/portab/examples/dimmer" "$work/dimmer"
cmake -S "$work/dimmer" -B "$work/dimmer-build" -DCMAKE_PREFIX_PATH="$root" -DCMAKE_BUILD_TYPE=Release \
  >"$work/configure.log" 2>&1 || { cat "$work/configure.log" >&2; fail "the example does not configure"; }
cmake --build "$work/dimmer-build" -j2 >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; fail "the example does not build"; }
! grep -rqF "$source" "$work/dimmer-build" || fail "the example's build refers to the source tree $source"
# The same through pkg-config.
PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --exact-version="$(sed -n 's/^#define PORTAB_VERSION_STRING "\(.*\)"/\1/p' \
  "$includes/portab/base/product.h")" portab || fail "pkg-config does not find portab at the library's version"
# shellcheck disable=SC2046
c++ -std=c++20 -o "$work/dimmer-pc" "$work/dimmer/main.cpp" $(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --cflags --libs portab) \
  -Wl,-rpath,"$libdir" || fail "the example does not build with pkg-config's flags"
grep -q '^dimmer-example ' <<<"$("$work/dimmer-pc" --version)" || fail "the pkg-config build does not run"

export PORTAB_HOME=$work/home PORTAB_ANSWERS=
plugin=$work/dimmer-build/dimmer-example
"$root/bin/portab" /regserver
"$plugin" /regserver || fail "the example plug-in does not register"
"$root/bin/portab-lns" create "$root/share/doc/portab/demo/network.json" >/dev/null
"$root/bin/portab-lns" device add "Demo/System.Floor 1" "$work/dimmer/dimmer.json" >/dev/null
printf 'type FadeTime 4.0\npick DimMode Switched\napply\n' >"$work/script.txt"
PORTAB_WINDOW_SCRIPT=$work/script.txt \
  "$root/bin/portab" "/CLASSID:28/COMMANDID:13/OBJECTNAME:Demo\\System.Floor 1\\Dimmer 1\\Dimmer" 2>"$work/run.err" ||
  { cat "$work/run.err" >&2; fail "command 13 failed"; }
report=$PORTAB_HOME/dimmer-example-report.txt
[ -f "$report" ] || { cat "$work/run.err" >&2; fail "command 13 did not reach the example plug-in"; }
for line in 'command 13 for "Demo\System.Floor 1\Dimmer 1\Dimmer"' 'parameters read from the device:' \
  'FadeTime 2.5 s' 'DimMode "Logarithmic"' 'SoftStart on' 'PowerOnLevel Half' 'MinLevel 20' 'MaxLevel 200' \
  'Location "Hall"' 'monitor point Level: 75.0 1' 'parameters after the window:' 'FadeTime 4.0 s' 'DimMode "Switched"'; do
  grep -qF "$line" "$report" || { cat "$report" >&2; fail "the report lacks: $line"; }
done
[ "$("$root/bin/portab-lns" cp get "Demo/System.Floor 1/Dimmer 1/Dimmer" FadeTime)" = "0 40" ] ||
  fail "FadeTime was not written to the device"
[ "$("$root/bin/portab-lns" cp get "Demo/System.Floor 1/Dimmer 1" DimMode)" = "2" ] || fail "DimMode was not written"
grep -q '^ProgramId = 9F:FF:FF:08:1C:0A:04:01' "$PORTAB_HOME/dimmer-example.par" || fail "no parameter file"

# Another build of the same plug-in registers over the first one.
"$work/dimmer-pc" /regserver || fail "registering the same plug-in again failed"

# The guide's plug-in, from the installed guide's code: refused for the profile the example
# serves until the example is unregistered, then it reads the values the window script wrote.
guide=$root/share/doc/portab/plugin-guide.md
mkdir "$work/guide"
awk -v dir="$work/guide" '/^```cmake$/ { out = dir "/CMakeLists.txt"; next } /^```cpp$/ { out = dir "/main.cpp"; next }
  /^```$/ { out = ""; next } out != "" { print > out }' "$guide"
cmake -S "$work/guide" -B "$work/guide-build" -DCMAKE_PREFIX_PATH="$root" >"$work/guide.log" 2>&1 &&
  cmake --build "$work/guide-build" >>"$work/guide.log" 2>&1 || { cat "$work/guide.log" >&2; fail "the guide's plug-in does not build"; }
if "$work/guide-build/my-dimmer" /regserver 2>"$work/refused.err"; then fail "a second plug-in for profile 6 was registered"; fi
grep -q "Function profile 6 is already served by the plug-in veltaDimmerExample.Application" "$work/refused.err" ||
  { cat "$work/refused.err" >&2; fail "the refusal does not name the registered plug-in"; }
"$plugin" /unregserver
"$work/guide-build/my-dimmer" /regserver || fail "the guide's plug-in does not register"
"$root/bin/portab" "/CLASSID:28/COMMANDID:13/OBJECTNAME:Demo\\System.Floor 1\\Dimmer 1\\Dimmer" 2>"$work/guide.err"
grep -q "read: FadeTime 4.0 s, DimMode Switched" "$work/guide.err" || { cat "$work/guide.err" >&2; fail "the guide's plug-in read nothing"; }
echo "sdk test: ok (example built against $prefix through DESTDIR)"
