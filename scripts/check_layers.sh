#!/usr/bin/env bash
# Fails when an include of src/ points up the layer list: a folder may include its own headers and those of the
# folders above it, never one below. Usage: scripts/check_layers.sh [SRC_DIR]
set -euo pipefail
src="${1:-$(dirname "$0")/../src}"
[ -d "$src" ] || { echo "check_layers: no folder $src" >&2; exit 2; }

# Top to bottom; the same list stands in the design notes.
layers=(shared platform measurement acquisition motor files analysis assessment printing export windows app)

declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done

status=0
while IFS= read -r -d '' file; do
    rel="${file#"$src"/}"
    from="${rel%%/*}"
    from_rank=${rank[$from]:--1}
    if [ "$from_rank" -lt 0 ]; then
        echo "$rel: the folder $from is not in the layer list" >&2
        status=1
        continue
    fi
    while IFS=: read -r line target; do
        to="${target%%/*}"
        [ "$to" = "$target" ] && continue  # a header beside the file
        to_rank=${rank[$to]:--1}
        [ "$to_rank" -lt 0 ] && continue  # not one of ours
        if [ "$to_rank" -gt "$from_rank" ]; then
            echo "$rel:$line: includes $target, but $to lies below $from" >&2
            status=1
        fi
    done < <(awk '/^[ \t]*#[ \t]*include[ \t]*"/ { s = $0; sub(/^[^"]*"/, "", s); sub(/".*/, "", s); print FNR ":" s }' "$file")
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)

if [ "$status" -eq 0 ]; then
    echo "layers: every include points down (${layers[*]})"
fi
exit "$status"
