#!/usr/bin/env bash
# Prints the figures that the notes quote: binary sizes, export and import
# tables, the utility's start-up time beside a minimal window program's
# (median of 20 starts each, and their ratio), the time to build the history
# text of a 10,000-line log, the grant of a tree beside a bare walk of it,
# whether each text of the two windows fits its control at 96, 120 and 144
# DPI (ＭＳ Ｐゴシック drawn with Ume P Gothic, whose widths are close to it,
# as in every test; then with other stand-ins where their fonts are
# installed: the wider IPA P Gothic, fonts-vlgothic, fonts-migmix), and the
# share of test code; VK_CMD.exe's start-up beside a console program that
# does nothing, and its /check of the large tree beside a bare walk of it.
# Uses the build folder of scripts/test.sh.
#   VK_BUILD_DIR       build folder (default: build/ in the clone)
#   VK_MEASURE_STEPS   the steps to print, by name, blank-separated (default:
#                      all): sizes tables startup history grant command
#                      text-fit lines
#   VK_BENCH_RUNS      runs of the tree grant and of the command line's
#                      benches whose median is taken (default
#                      5; in the emulated guest a run of the large tree takes
#                      minutes, so 3 or 1 there)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VK_BUILD_DIR:-$root/build}
bin="$build/bin"

cmake --build "$build" -j"$(nproc)" >/dev/null
wanted() { [ -z "${VK_MEASURE_STEPS:-}" ] || [[ " $VK_MEASURE_STEPS " == *" $1 "* ]]; }
if wanted startup || wanted history || wanted grant || wanted command || wanted text-fit; then
    [ -d "$build/wine-template" ] || "$root/tests/wine/make-template-prefix.sh" "$build/wine-template"
fi
export VK_TEMPLATE_PREFIX="$build/wine-template"
in_prefix() { "$root/tests/wine/run-in-prefix.sh" "$bin/$1" "${@:2}" | tr -d '\r'; }

if wanted sizes; then
echo "== sizes (bytes)"
for file in VKSVC.dll VK_UTL.exe VK_CMD.exe vsrepair.exe; do
    printf '%-14s %8d\n' "$file" "$(stat -c %s "$bin/$file")"
done
zip=$(ls "$build"/VESKA-Windows-Utility-*.zip 2>/dev/null | head -n 1 || true)
[ -z "$zip" ] || printf '%-14s %8d  (%s)\n' "archive" "$(stat -c %s "$zip")" "$(basename "$zip")"
msi=${zip%.zip}.msi
[ ! -f "$msi" ] || printf '%-14s %8d  (%s)\n' "package" "$(stat -c %s "$msi")" "$(basename "$msi")"
fi

if wanted tables; then
for file in VKSVC.dll vsrepair.exe VK_UTL.exe VK_CMD.exe; do
    echo
    echo "== $file: export and import tables (objdump -p)"
    i686-w64-mingw32-objdump -p "$bin/$file" |
        sed -n '/^The Export Tables/,/^The Import Tables/p; /DLL Name/,/^$/p' |
        grep -v '^$' | grep -v 'vma:' | sed 's/^\t/  /'
done
fi

if wanted startup; then
echo
echo "== start-up under Wine (median of 20 starts each, in one run, the programs in turn)"
# Beside the minimal window, the same window with the utility's manifest:
# what the common controls 6 (visual styles) cost before any code of ours.
starts=$(in_prefix bench_startup.exe 20 'C:\vk\minimal_window.exe' \
    'C:\vk\minimal_styled_window.exe' 'C:\vk\VK_UTL.exe')
echo "$starts"
minimal=$(grep 'minimal_window' <<<"$starts")
styled=$(grep 'minimal_styled_window' <<<"$starts")
utility=$(grep 'VK_UTL' <<<"$starts")
median() { sed -n 's/.* after \([0-9]*\) ms.*/\1/p' <<<"$1"; }
ratio() {
    awk -v base="$(median "$1")" -v other="$(median "$2")" -v text="$3" \
        'BEGIN { if (base > 0) printf "%s %.2f times as long as the minimal program\n", text, other / base }'
}
ratio "$minimal" "$styled" "with the common controls 6 it takes"
ratio "$minimal" "$utility" "the utility takes"
fi

if wanted history; then
echo
echo "== history view"
in_prefix bench_history_text.exe
fi

if wanted grant; then
echo
echo "== grant of a tree against a bare walk of it (2,000 and 20,000 files in folders of 100)"
VK_PREFIX_SETUP=bench-trees in_prefix bench_tree_grant.exe "${VK_BENCH_RUNS:-5}" 'C:\vk-bench\t2000' 'C:\vk-bench\t20000'
fi

if wanted command; then
echo
echo "== VK_CMD.exe: start-up beside a console program that does nothing; /check of the 20,000-file tree beside a bare walk"
VK_PREFIX_SETUP=bench-trees in_prefix bench_command.exe "${VK_BENCH_RUNS:-5}" 'C:\vk-bench\t20000'
fi

if wanted text-fit; then
echo
echo "== text fit: each text's extent in its window's font against its control"
text_fit() {
    local dpi
    for dpi in 96 120 144; do
        local setup="applications-folder ${1:+standin-font}"
        [ "$dpi" = 96 ] || setup="$setup dpi-$dpi"
        VK_STANDIN_FONT="${1:-}" VK_PREFIX_SETUP="$setup" in_prefix bench_text_fit.exe
    done
}
text_fit
for face in "IPAPGothic" "VL PGothic" "MigMix 1P"; do
    fc-list : family | tr , '\n' | grep -qx "$face" || continue
    echo "-- the same with ＭＳ Ｐゴシック drawn with $face"
    text_fit "$face"
done
fi

if wanted lines; then
echo
echo "== lines of code (non-blank), product and tests"
count() { cat "$@" | grep -cv '^\s*$'; }
product=$(count $(git -C "$root" ls-files -- 'common/*.h' 'svc/*.cpp' 'svc/*.h' 'pc_actions/*.cpp' 'pc_actions/*.h' 'utility/*.cpp' 'utility/*.h' 'cmake/*.cpp' 'cmake/*.h' 'repair/*.cpp' 'command/*.cpp' 'command/*.h' | sed "s|^|$root/|"))
tests=$(count $(git -C "$root" ls-files -- 'tests/*.cpp' 'tests/*.h' | grep -v '^tests/bench/' | sed "s|^|$root/|"))
echo "product $product, tests $tests: tests are $((100 * tests / (product + tests)))% of the code"
fi
