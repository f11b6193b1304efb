#!/usr/bin/env bash
# Runs the README's shell examples as written, each block as one script that must succeed,
# in a fresh PORTAB_HOME and a working folder where build/, data/ and examples/ are this build and the
# sources' data. The first block (scripts/demo, scripts/test) is what CI runs anyway. The
# block that creates the demo network runs first and the blocks that register the plug-ins
# next, since the others work on what they make.
# Usage: readme_commands_test.sh <source folder> <build folder>
set -euo pipefail
source_dir=$1
build_dir=$2
work=$(mktemp -d -t portab-readme-XXXXXX)
trap 'rm -rf "$work"' EXIT
ln -s "$build_dir" "$work/build"
ln -s "$source_dir/data" "$work/data"
ln -s "$source_dir/examples" "$work/examples"
export PORTAB_HOME=$work/home PORTAB_ANSWERS=

# The ```sh blocks, one file each, numbered in README order.
awk -v dir="$work" '
  /^```sh$/ { n++; inside = 1; file = sprintf("%s/block%02d.sh", dir, n); next }
  /^```$/ && inside { inside = 0; close(file); next }
  inside { print > file }
' "$source_dir/README.md"
blocks=("$work"/block*.sh)
[ ${#blocks[@]} -ge 4 ] || { echo "readme test: found only ${#blocks[@]} shell blocks" >&2; exit 1; }
rest=($(grep -L "portab-lns create" "${blocks[@]:1}"))
ordered=($(grep -l "portab-lns create" "${blocks[@]:1}") $(grep -l "/regserver" "${rest[@]}") $(grep -L "/regserver" "${rest[@]}"))

cd "$work"
for block in "${ordered[@]}"; do
  if ! bash -euo pipefail "$block" >"$block.out" 2>&1; then
    echo "readme test: this README block failed:" >&2
    sed 's/^/    /' "$block" >&2
    echo "  its output:" >&2
    tail -20 "$block.out" | sed 's/^/    /' >&2
    exit 1
  fi
done
echo "readme test: ${#ordered[@]} blocks ran"
