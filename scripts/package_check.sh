#!/usr/bin/env bash
# The Debian package, checked on this machine: builds it (scripts/package.sh), installs it with
# apt (so its dependencies come too), checks the files and the capabilities, runs the installed
# program as a normal user on the demo LAN (scripts/demo_user_check.sh -p /usr/bin/pontiq: the
# devices are found, data.mdb lives in the user's private folder), removes the package and
# checks that nothing of it is left. Needs root; changes the machine's installed packages.
#
#   sudo scripts/package_check.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
[ "$(id -u)" -eq 0 ] || { echo "package_check: run it as root" >&2; exit 1; }
build=${1:-$root/build-package}
cd "$root"

failures=0
check() { # check WHAT COMMAND...
    local what=$1
    shift
    if "$@" >/dev/null 2>&1; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

deb=$(scripts/package.sh "$build" | tail -1)
echo "package: $deb ($(du -h "$deb" | cut -f1))"
dpkg-deb -f "$deb" Package Version Depends
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$(readlink -f "$deb")" >/dev/null

check "launcher /usr/bin/pontiq" test -x /usr/bin/pontiq
check "program /opt/pontiq/Pontiq" test -x /opt/pontiq/Pontiq
check "settings, languages and skin" test -f /opt/pontiq/Setting.ini -a -d /opt/pontiq/Languages -a -d /opt/pontiq/Skin
check "desktop entry" test -f /usr/share/applications/pontiq.desktop
check "icon" test -f /usr/share/icons/hicolor/256x256/apps/pontiq.png
check "Wireshark dissector" bash -c "ls /usr/lib/*/wireshark/plugins/pontiq.lua"
check "cap_net_raw on Pontiq" bash -c "getcap /opt/pontiq/Pontiq | grep -q cap_net_raw"
if [ -e /opt/pontiq/service/FileServer ]; then
    check "cap_net_bind_service on FileServer" bash -c "getcap /opt/pontiq/service/FileServer | grep -q cap_net_bind_service"
fi
if [ -e /opt/pontiq/pontiq-cli ]; then
    check "pontiq-cli launcher" test -x /usr/bin/pontiq-cli
    check "cap_net_raw on pontiq-cli" bash -c "getcap /opt/pontiq/pontiq-cli | grep -q cap_net_raw"
fi
check "program folder not writable by others" bash -c "[ \$(stat -c %a /opt/pontiq) = 755 ]"
check "dissector loads in tshark" bash -c "tshark -G protocols 2>/dev/null | grep -q '^Pontiq device protocol'"

# The installed program as a normal user, on the demo LAN.
if scripts/demo_user_check.sh -p /usr/bin/pontiq -b "$build" -o "$root/build/screenshots/package"; then
    echo "ok   installed program finds the demo devices as a normal user"
else
    echo "FAIL installed program as a normal user"
    failures=$((failures + 1))
fi
check "no data.mdb in the program folder" test ! -e /opt/pontiq/data.mdb

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq pontiq >/dev/null
check "removed: /opt/pontiq" test ! -e /opt/pontiq
check "removed: launcher" test ! -e /usr/bin/pontiq
check "removed: dissector" bash -c "! ls /usr/lib/*/wireshark/plugins/pontiq.lua"
check "removed: desktop entry" test ! -e /usr/share/applications/pontiq.desktop

echo "$failures failed"
[ "$failures" -eq 0 ]
