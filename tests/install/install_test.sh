#!/usr/bin/env bash
# Installs a build into a fresh prefix (through DESTDIR, as packagers do) and runs the demo
# dispatch from the installed programs: registration, a network from the installed demo
# description, command 13 handed to the demo profile plug-in.
# Usage: install_test.sh <build folder>
set -euo pipefail
build=$1
work=$(mktemp -d -t portab-install-XXXXXX)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
prefix=/opt/portab-test
DESTDIR="$work/root" cmake --install "$build" --prefix "$prefix" >"$work/install.log"
root=$work/root$prefix
fail() { echo "install test: $*" >&2; exit 1; }

for program in portab portab-lns portab-demo-profile; do
  [ -L "$root/bin/$program" ] || fail "bin/$program is not a link"
  [ -x "$root/bin/$program" ] || fail "bin/$program does not lead to a program"
done
folder=$(dirname "$(readlink -f "$root/bin/portab")")
for file in PortaB.ini PortaB.xif Config/Modules_V1.ini; do
  [ -f "$folder/$file" ] || fail "$file is not in the program folder $folder"
done
[ -f "$root/share/doc/portab/README.md" ] || fail "no README in share/doc/portab"
[ -f "$root/share/doc/portab/demo/network.json" ] || fail "no demo network in share/doc/portab"
[ -f "$root/share/doc/portab/network-database.md" ] || fail "no network database document in share/doc/portab"
[ -f "$root/share/bash-completion/completions/portab-lns" ] || fail "no bash completion for portab-lns"

# The installed tree is read-only for its users.
chmod -R a-w "$root"
export PORTAB_HOME=$work/home PORTAB_ANSWERS=
"$root/bin/portab" /regserver
"$root/bin/portab-demo-profile" /regserver
grep -q "$folder/portab" "$PORTAB_HOME/registry.reg" || fail "/regserver did not register the installed path"
"$root/bin/portab-lns" create "$root/share/doc/portab/demo/network.json" >/dev/null
"$root/bin/portab" "/CLASSID:28/COMMANDID:13/OBJECTNAME:Demo\\System.Floor 1\\Switch 1\\Omnal 1" 2>"$work/run.err" ||
  { cat "$work/run.err" >&2; fail "command 13 failed"; }
grep -q "command id 13, class id 28" "$PORTAB_HOME/demo-profile-report.txt" ||
  fail "command 13 did not reach the demo profile plug-in"
echo "install test: ok ($prefix through DESTDIR)"
