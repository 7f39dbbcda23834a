#!/usr/bin/env bash
# No compilation has the source tree, or a folder of it, on its include path:
# each target sees only the headers its own target and the targets it links
# show (cmake/TargetHeaders.cmake). The one exception is the application's
# main program, which includes from controller/ directly.
# usage: include_dirs_test.sh SOURCE_DIR BUILD_DIR
set -u
source=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
commands=$build/compile_commands.json
[ -f "$commands" ] || { echo "FAILED: no $commands"; exit 1; }

# One line per compilation: its output object, then each -I folder.
offenders=$(grep -o '"command": "[^"]*"' "$commands" | while read -r line; do
  object=$(grep -o -- '-o [^ ]*' <<<"$line" | head -n 1 | cut -c4-)
  for dir in $(grep -o -- '-I[^ ]*' <<<"$line" | cut -c3-); do
    case $dir in
      "$build"|"$build"/*) continue ;;
      "$source"|"$source"/*) ;;
      *) continue ;;
    esac
    case "$object:$dir" in
      controller/CMakeFiles/QTR90xControler.dir/*:"$source/controller") continue ;;
    esac
    echo "$object: -I$dir"
  done
done | sort -u)

if [ -n "$offenders" ]; then
  echo "FAILED: compilations with the source tree on their include path (give the"
  echo "target its headers with qz_target_headers instead):"
  echo "$offenders"
  exit 1
fi
echo "ok: $(grep -c '"command"' "$commands") compilations see only the headers their targets show"
