#!/usr/bin/env bash
# Tries --installer-suivi and --retirer-suivi against a real systemd user manager, for a
# machine or container with no user session of its own (as root: it runs the manager in a
# private mount namespace, with a temporary HOME). It checks that a watcher installed without
# systemd is stopped when the service is installed, that installing again replaces the
# service's watcher, and that --retirer-suivi leaves none. On a desktop, your own user systemd
# answers already: there, try the commands themselves.
set -euo pipefail
cli=$(realpath "${1:-build/cli/signetor-cli}")
[ "$(id -u)" = 0 ] || { echo "run it as root: the manager needs a mount namespace"; exit 1; }
home=$(mktemp -d) manager=
trap '"$cli" --retirer-suivi >/dev/null; [ -z "$manager" ] || kill "$manager"; wait; rm -rf "$home"' EXIT
export HOME=$home XDG_RUNTIME_DIR=$home/run XDG_CONFIG_HOME=$home/config XDG_STATE_HOME=$home/state
mkdir -m 700 "$XDG_RUNTIME_DIR" && mkdir "$home/arbre"
printf '[InternetShortcut]\r\nURL=https://un.example/\r\n' > "$home/arbre/Un.url"
page=$home/p.html
watchers() { pgrep -f -- "--suivre --unique --titre [A-Za-z]* -- $home/arbre" | wc -l; }
fail() { echo "FAILED: $*"; exit 1; }

DBUS_SESSION_BUS_ADDRESS=unix:path=/nulle "$cli" --installer-suivi --titre Session "$home/arbre" "$page"
[ "$(watchers)" = 1 ] || fail "the install without systemd started no watcher"

# systemd --user only runs where /run/systemd/system exists: a private /run gives it one.
unshare -m sh -c 'mount -t tmpfs none /run && mkdir -p /run/systemd/system &&
    exec /lib/systemd/systemd --user' > "$home/systemd.log" 2>&1 &
manager=$!
for _ in $(seq 100); do systemctl --user show-environment >/dev/null 2>&1 && break; sleep 0.1; done
systemctl --user show-environment >/dev/null || fail "no user manager: see $home/systemd.log"

for titre in Service Encore; do
    "$cli" --installer-suivi --titre "$titre" "$home/arbre" "$page"
    systemctl --user is-active --quiet signetor-suivi.service || fail "the service is not active"
    [ "$(watchers)" = 1 ] || fail "$(watchers) watchers run after the install"
    for _ in $(seq 100); do grep -q "<title>$titre</title>" "$page" && break; sleep 0.1; done
    grep -q "<title>$titre</title>" "$page" || fail "the page is not the service's"
done
[ ! -e "$XDG_CONFIG_HOME/autostart/signetor-suivi.desktop" ] || fail "the autostart entry stays"
"$cli" --retirer-suivi
for _ in $(seq 100); do [ "$(watchers)" = 0 ] && break; sleep 0.1; done
[ "$(watchers)" = 0 ] || fail "a watcher still runs after --retirer-suivi"
! systemctl --user is-enabled --quiet signetor-suivi.service 2>/dev/null || fail "still enabled"
echo "user systemd: install, replace and remove all hold"
