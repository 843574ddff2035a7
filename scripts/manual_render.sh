#!/usr/bin/env bash
# Renders the offline manual's pages of the program folder with headless Chromium, as a reader
# sees them: build/screenshots/manual-<language>.png (or into the folder given as $1). Chromium
# is a tool for looking only: it is installed here when missing and is not a package the program
# needs. Runs inside a private network namespace when it may: the pages are local files.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${PONTIQ_BUILD_DIR:-$root/build}"
out="${1:-$build/screenshots}"
manual="$build/Pontiq/Manual"
[[ -f "$manual/en/index.html" ]] || { echo "manual_render: $manual not there (build the program first)" >&2; exit 1; }
if ! command -v chromium >/dev/null; then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo=sudo
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends chromium >/dev/null
fi
mkdir -p "$out"
isolate=()
if [[ $(id -u) -eq 0 ]] && unshare -n true 2>/dev/null; then isolate=(unshare -n); fi

for language in en zh; do
  for width in 1100 700; do
    profile="$(mktemp -d)"
    shot="$out/manual-$language-$width.png"
    "${isolate[@]}" chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
      --disable-background-networking --disable-component-update --disable-sync \
      --user-data-dir="$profile" --hide-scrollbars --window-size="$width,3200" \
      --screenshot="$shot" "file://$manual/$language/index.html" >/dev/null 2>&1 || true
    rm -rf "$profile"
    [[ -s "$shot" ]] && echo "screenshot: $shot" || { echo "manual_render: no picture of $language" >&2; exit 1; }
  done
done
