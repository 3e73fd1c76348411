#!/bin/sh
# withkeyring.sh <command> [arguments...]: runs the command on a private
# session bus with a private, unlocked keyring, both gone afterwards, so that
# a test never reaches the user's own bus or keyring files.
set -eu
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/run"
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
    XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/run"
unset DISPLAY WAYLAND_DISPLAY
dbus-run-session -- sh -c '
    printf pw | gnome-keyring-daemon --unlock --components=secrets >/dev/null || exit 1
    gdbus wait --session --timeout 10 org.freedesktop.secrets
    exec "$@"' sh "$@"
