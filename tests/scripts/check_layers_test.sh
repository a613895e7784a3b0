#!/usr/bin/env bash
# The layer check passes on the source tree, and fails, naming the file, once an include that points up the list,
# reaches a Qt library the file's folder does not link, or comes from a folder the list does not know is planted
# in a copy of it. Usage: check_layers_test.sh PROJECT_DIR
set -euo pipefail
root="$1"
check="$root/scripts/check_layers.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fresh() {
    rm -rf "$work/src"
    cp -r "$root/src" "$work/src"
}

fresh
"$check" "$work/src" >/dev/null || { echo "the source tree as it stands fails the check" >&2; exit 1; }

# file:include planted at its top
for plant in measurement/reader.h:windows/main_window.h shared/result.h:platform/files.h \
             analysis/curves.cpp:printing/report.h platform/qt_paint/pdf_output.cpp:measurement/reader.h \
             platform/qt_core/qt_serial_port.cpp:platform/qt_widgets/widget_dialogs.h \
             platform/qt_paint/painter_surface.cpp:platform/qt_widgets/picture_box.h \
             measurement/reader.cpp:platform/qt_paint/painter_surface.h printing/report.cpp:platform/qt_widgets/twips_widgets.h; do
    file="${plant%%:*}"
    include="${plant#*:}"
    fresh
    sed -i "1i #include \"$include\"" "$work/src/$file"
    if out="$("$check" "$work/src" 2>&1)"; then
        echo "an include of $include in $file went unnoticed" >&2
        exit 1
    fi
    grep -q "$file" <<<"$out" || { echo "the check failed without naming $file: $out" >&2; exit 1; }
done

fresh
mkdir "$work/src/misc"
echo '#include "shared/result.h"' >"$work/src/misc/helper.h"
if "$check" "$work/src" >/dev/null 2>&1; then
    echo "a folder outside the layer list went unnoticed" >&2
    exit 1
fi
echo "the layer check catches every planted upward include"
