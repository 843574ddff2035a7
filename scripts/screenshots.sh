#!/usr/bin/env bash
# Pictures of the main window (English and Chinese, 100 % and 200 % scaling), the install-help
# page and the wait popup, drawn by the real window classes on Qt's offscreen platform, into
# build/screenshots/ (or the folder given as $1). Uses build/ (or $PONTIQ_BUILD_DIR).
# Nothing here opens a socket; it runs inside a private network namespace all the same when it
# may (as root), so that no window ever reaches a real network.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${PONTIQ_BUILD_DIR:-$root/build}"
out="${1:-$build/screenshots}"
tests="$build/tests/gui_tests"
program_dir="$build/Pontiq/"

if [[ ! -x "$tests" ]]; then
  echo "screenshots: $tests not built (configure with -DPONTIQ_GUI=ON and build gui_tests)" >&2
  exit 1
fi
mkdir -p "$out"
runtime="$(mktemp -d)"  # Qt wants a private runtime folder
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime"

isolate=()
if [[ $(id -u) -eq 0 ]] && unshare -n true 2>/dev/null; then isolate=(unshare -n); fi

shoot() {  # locale tag scale
  env QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR="$3" \
    PONTIQ_SCREENSHOT_DIR="$out" PONTIQ_PROGRAM_DIR="$program_dir" \
    PONTIQ_SCREENSHOT_LOCALE="$1" PONTIQ_SCREENSHOT_TAG="$2" \
    "${isolate[@]}" "$tests" --gtest_filter='ShellScreenshots.*' | grep '^screenshot:' || true
}

shoot 1033 en 1
shoot 2052 zh 1
shoot 1033 en-200 2
shoot 2052 zh-200 2
echo "screenshots in $out"
