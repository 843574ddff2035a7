#!/usr/bin/env bash
# The pictures of the offline manual, drawn by the real window classes on Qt's offscreen platform
# with the skin and language files of resources/, in English and Chinese:
# resources/Manual/en/images/ and resources/Manual/zh/images/ (or under the folder given as $1).
# Uses build/ (or $PONTIQ_BUILD_DIR); runs inside a private network namespace when it may.
# The pictures show Chinese only where a CJK font is installed (scripts/deps.sh installs one).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${PONTIQ_BUILD_DIR:-$root/build}"
out="${1:-$root/resources/Manual}"
tests="$build/tests/gui_tests"
[[ -x "$tests" ]] || { echo "manual_pictures: $tests not built (cmake --build build --target gui_tests)" >&2; exit 1; }
fc-list ':lang=zh' | grep -q . || echo "manual_pictures: warning: no font with Chinese glyphs is installed" >&2

runtime="$(mktemp -d)"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime"
isolate=()
if [[ $(id -u) -eq 0 ]] && unshare -n true 2>/dev/null; then isolate=(unshare -n); fi

shoot() {  # locale language
  mkdir -p "$out/$2/images"
  env QT_QPA_PLATFORM=offscreen PONTIQ_MANUAL_PICTURES="$out/$2/images" PONTIQ_SCREENSHOT_LOCALE="$1" \
    PONTIQ_PROGRAM_DIR="$root/resources/" "${isolate[@]}" "$tests" --gtest_filter='ManualPictures.*' |
    grep '^screenshot:' || { echo "manual_pictures: no pictures for $2" >&2; exit 1; }
}

shoot 1033 en
shoot 2052 zh
