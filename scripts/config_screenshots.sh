#!/usr/bin/env bash
# Pictures of the management page and of each tab of the configuration sheet (English and
# Chinese, 100 % and 200 %), drawn by the real window classes on Qt's offscreen platform, into
# build/screenshots/ (or the folder given as $1). Uses build/ (or $PONTIQ_BUILD_DIR).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${PONTIQ_BUILD_DIR:-$root/build}"
out="${1:-$build/screenshots}"
tests="$build/tests/gui_tests"
[[ -x "$tests" ]] || { echo "config_screenshots: $tests not built" >&2; exit 1; }
mkdir -p "$out"
runtime="$(mktemp -d)"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime"

isolate=()
if [[ $(id -u) -eq 0 ]] && unshare -n true 2>/dev/null; then isolate=(unshare -n); fi

for scale in 1 2; do
  suffix=""
  [[ $scale == 2 ]] && suffix="-200"
  env QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR="$scale" PONTIQ_CONFIG_SNAPSHOTS="$out" \
    PONTIQ_SNAPSHOT_SUFFIX="$suffix" "${isolate[@]}" "$tests" --gtest_filter='ConfigSnapshot.*' >/dev/null
done
echo "screenshots in $out"
