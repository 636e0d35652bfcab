#!/usr/bin/env bash
# Fails when a source file includes a header from a higher layer. The layers,
# lowest first; a file may include its own layer and any below it:
#   foundation → heap → objects → io, graphics → vm → natives → extensions → host
# io and graphics share a rank and do not include each other. tools/ sits on top:
# the assembler and disassembler read every table, the extensions' list included.
set -euo pipefail
cd "$(dirname "$0")/.."

rank() {
  case $1 in
    foundation) echo 0 ;; heap) echo 1 ;; objects) echo 2 ;;
    io|graphics) echo 3 ;; vm) echo 4 ;; natives) echo 5 ;;
    extensions) echo 6 ;; host) echo 7 ;; tools) echo 8 ;; *) echo -1 ;;
  esac
}

status=0
while IFS=: read -r file line text; do
  from=${file#src/}; from=${from%%/*}
  [[ $file == tools/* ]] && from=tools
  to=$(sed -E 's/.*#include "([a-z]+)\/.*/\1/' <<<"$text")
  rf=$(rank "$from"); rt=$(rank "$to")
  [ "$rt" -lt 0 ] && continue  # not a layer (e.g. a tool's own folder)
  if [ "$rt" -gt "$rf" ] || { [ "$rt" = "$rf" ] && [ "$from" != "$to" ]; }; then
    echo "$file:$line: $from includes $to, a layer above it" >&2
    status=1
  fi
done < <(grep -rnE '^#include "[a-z]+/' src tools --include='*.cpp' --include='*.h')
[ $status = 0 ] && echo "check-layers: every include points down"
exit $status
