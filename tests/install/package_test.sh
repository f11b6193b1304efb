#!/usr/bin/env bash
# The DEB packages: cpack makes portab (programs, data, shared libraries) and portab-dev
# (headers, static library, CMake package, pkg-config files); their control data and contents
# are checked, and both install into a fresh dpkg root, where the installed portab runs.
# Usage: package_test.sh <build folder>
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d -t portab-deb-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }
lib=/usr/$(sed -n 's/^CMAKE_INSTALL_LIBDIR:[A-Z]*=//p' "$build/CMakeCache.txt")
version=$(sed -n 's/^#define PORTAB_VERSION_STRING "\(.*\)"/\1/p' "$build/generated/portab/base/product.h")

cpack --config "$build/CPackConfig.cmake" -B "$work/packages" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
runtime=$work/packages/portab_${version}_amd64.deb
dev=$work/packages/portab-dev_${version}_amd64.deb
[ -f "$runtime" ] && [ -f "$dev" ] || fail "cpack did not make portab_${version} and portab-dev_${version}"

field() { dpkg-deb -f "$1" "$2"; }
[ "$(field "$runtime" Package)" = portab ] || fail "the runtime package is not called portab"
[ "$(field "$dev" Package)" = portab-dev ] || fail "the development package is not called portab-dev"
for package in "$runtime" "$dev"; do [ "$(field "$package" Version)" = "$version" ] || fail "$package: version"; done
for dependency in libc6 libstdc++6 libsqlite3-0 libqt6widgets6; do
  field "$runtime" Depends | grep -q "$dependency" || fail "portab does not depend on $dependency"
done
field "$dev" Depends | grep -qF "portab (= $version)" || fail "portab-dev does not depend on portab (= $version)"
field "$dev" Depends | grep -q libsqlite3-dev || fail "portab-dev does not depend on libsqlite3-dev"

contents() { dpkg-deb -c "$1" | awk '{print $6}' | sed 's|^\./|/|'; }
contents "$runtime" >"$work/runtime.txt"
contents "$dev" >"$work/dev.txt"
for file in /usr/bin/portab $lib/portab/portab $lib/portab/PortaB.ini "$lib/libportab.so.$version" \
  "$lib/libportab.so.${version%%.*}" "$lib/libportab-qt.so.$version"; do
  grep -qxF "$file" "$work/runtime.txt" || fail "portab lacks $file"
done
for file in /usr/include/portab/portab.h /usr/include/portab/base/product.h $lib/libportab.a $lib/libportab.so \
  $lib/cmake/portab/portabConfig.cmake $lib/cmake/portab/portabConfigVersion.cmake \
  $lib/pkgconfig/portab.pc /usr/share/doc/portab/examples/dimmer/CMakeLists.txt; do
  grep -qxF "$file" "$work/dev.txt" || fail "portab-dev lacks $file"
done
! grep -q '^/usr/include/' "$work/runtime.txt" || fail "portab holds headers"
! grep -q 'libportab\.a$' "$work/runtime.txt" || fail "portab holds the static library"
# No file is in both packages.
duplicated=$(sort "$work/runtime.txt" "$work/dev.txt" | grep -v '/$' | uniq -d)
[ -z "$duplicated" ] || fail "files in both packages: $duplicated"
# The shared library's SONAME carries the major version.
dpkg-deb -x "$runtime" "$work/runtime"
# (grep reads a captured text: a grep -q that stops early would let the writer die of SIGPIPE, and
# pipefail would count that as a failure.)
headers=$(objdump -p "$work/runtime$lib/libportab.so.$version")
grep -q "SONAME *libportab.so.${version%%.*}$" <<<"$headers" ||
  fail "libportab.so has no SONAME libportab.so.${version%%.*}"

# Both into a fresh root. Its dpkg database knows no other package, so the dependencies on the
# system's libraries cannot be met there and are forced (they are checked against this machine
# below); the maintainer scripts run outside it, since it has no shell.
fresh=$work/fresh
mkdir -p "$fresh/var/lib/dpkg/info" "$fresh/var/lib/dpkg/updates"
touch "$fresh/var/lib/dpkg/status"
as_user=()
[ "$(id -u)" -eq 0 ] || as_user=(--force-not-root)
dpkg --root="$fresh" "${as_user[@]}" --force-script-chrootless --force-depends --log=/dev/null \
  -i "$runtime" "$dev" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -i into a fresh root failed"; }
for package in portab portab-dev; do
  grep -q '^Status: install ok installed' <<<"$(dpkg --root="$fresh" -s "$package" 2>/dev/null)" ||
    fail "$package is not installed in the fresh root"
done
[ "$("$fresh/usr/bin/portab" --version)" = "portab $version" ] || fail "the installed portab does not run"
# The example plug-in builds against the packages' files alone and runs with their library.
cmake -S "$fresh/usr/share/doc/portab/examples/dimmer" -B "$work/dimmer" -DCMAKE_PREFIX_PATH="$fresh/usr" \
  >"$work/dimmer.log" 2>&1 && cmake --build "$work/dimmer" --target dimmer-example >>"$work/dimmer.log" 2>&1 ||
  { cat "$work/dimmer.log" >&2; fail "the example does not build against the installed packages"; }
grep -q "libportab.so.${version%%.*} => $fresh" <<<"$(ldd "$work/dimmer/dimmer-example")" ||
  fail "the example does not use the packaged libportab.so"
grep -q "^dimmer-example $version" <<<"$("$work/dimmer/dimmer-example" --version)" || fail "the example does not run"
# On this machine, where the libraries they need are installed, their dependencies hold.
if [ "$(id -u)" -eq 0 ]; then
  dpkg --dry-run -i "$runtime" "$dev" >"$work/dry-run.log" 2>&1 ||
    { cat "$work/dry-run.log" >&2; fail "the packages' dependencies are not met on this machine"; }
fi
echo "package test: ok ($(du -k "$runtime" | cut -f1) KiB portab, $(du -k "$dev" | cut -f1) KiB portab-dev)"
