#!/usr/bin/env bash
# Fails when an include of src/ points up the layer list, or reaches a library the including file's folder does
# not link: a folder may include its own headers and those of the folders above it, never one below, and only
# headers of its link level or a lower one. Usage: scripts/check_layers.sh [SRC_DIR]
set -euo pipefail
src="${1:-$(dirname "$0")/../src}"
[ -d "$src" ] || { echo "check_layers: no folder $src" >&2; exit 2; }

# Top to bottom; the same list stands in the design notes. The Qt adapters know nothing but the interfaces.
layers=(shared platform platform/qt_core platform/qt_paint platform/qt_widgets measurement acquisition motor files
        analysis assessment printing export windows app)
# What a folder's library links: QtCore and the serial port (everything not named here), QtGui, or the widgets.
declare -A level=([platform/qt_paint]=1 [platform/qt_widgets]=2 [windows]=2 [app]=2)
level_names=(core paint widgets)

declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done

# The layer of a path below src/: the longest entry of the list it lies in, or its first folder.
layer_of() {
    local path="$1" best="${1%%/*}" layer
    for layer in "${layers[@]}"; do
        if [[ "$path" == "$layer"/* && ${#layer} -gt ${#best} ]]; then best="$layer"; fi
    done
    printf '%s' "$best"
}

status=0
while IFS= read -r -d '' file; do
    rel="${file#"$src"/}"
    from="$(layer_of "$rel")"
    from_rank=${rank[$from]:--1}
    if [ "$from_rank" -lt 0 ]; then
        echo "$rel: the folder $from is not in the layer list" >&2
        status=1
        continue
    fi
    from_level=${level[$from]:-0}
    while IFS=: read -r line target; do
        [[ "$target" == */* ]] || continue  # a header beside the file
        to="$(layer_of "$target")"
        to_rank=${rank[$to]:--1}
        [ "$to_rank" -lt 0 ] && continue  # not one of ours
        if [ "$to_rank" -gt "$from_rank" ]; then
            echo "$rel:$line: includes $target, but $to lies below $from" >&2
            status=1
        elif [ "${level[$to]:-0}" -gt "$from_level" ]; then
            echo "$rel:$line: includes $target, which needs ${level_names[${level[$to]}]}, but $from links" \
                 "only ${level_names[$from_level]}" >&2
            status=1
        fi
    done < <(awk '/^[ \t]*#[ \t]*include[ \t]*"/ { s = $0; sub(/^[^"]*"/, "", s); sub(/".*/, "", s); print FNR ":" s }' "$file")
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)

if [ "$status" -eq 0 ]; then
    echo "layers: every include points down and stays within its link level (${layers[*]})"
fi
exit "$status"
