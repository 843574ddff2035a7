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

# The management, bridge and maintenance windows come from their snapshot tests, which draw both
# languages in one run; the manual takes the pictures it shows under shorter names.
snaps="$runtime/snapshots"
mkdir -p "$snaps"
env QT_QPA_PLATFORM=offscreen PONTIQ_CONFIG_SNAPSHOTS="$snaps" PONTIQ_BRIDGE_SNAPSHOTS="$snaps" \
  PONTIQ_MAINTENANCE_SNAPSHOTS="$snaps" "${isolate[@]}" "$tests" \
  --gtest_filter='ConfigSnapshot.*:BridgeSnapshot.*:MaintenanceSnapshot.*' >/dev/null ||
  { echo "manual_pictures: the snapshot tests failed" >&2; exit 1; }
pictures=(management_page:management sheet_wireless:config_wireless sheet_ip:config_ip
  sheet_vlan_a:config_vlan sheet_reboot:config_reboot bridge_page:bridge bridge_search:bridge_search
  bridge_security:bridge_security bridge_ip:bridge_ip bridge_finish:bridge_finish
  reboot_running:reboot restore_after:restore upgrade_running:upgrade
  upgrade_dialog_stage1:upgrade_dialog)
for language in en zh; do
  for pair in "${pictures[@]}"; do
    from="$snaps/${pair%%:*}_$language.png"
    to="$out/$language/images/${pair##*:}.png"
    [[ -s "$from" ]] || { echo "manual_pictures: $from was not drawn" >&2; exit 1; }
    cp "$from" "$to"
    echo "screenshot: $to"
  done
done
