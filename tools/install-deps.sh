#!/bin/sh
# Installs whichever of the listed Debian packages are missing; does nothing
# when all are there. Uses sudo when not run as root.
set -eu
list="$(dirname "$0")/debian-packages.txt"
missing=""
for pkg in $(grep -v '^#' "$list"); do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    case "$status" in
        *" installed") ;;
        *) missing="$missing $pkg" ;;
    esac
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
