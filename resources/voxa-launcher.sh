#!/bin/sh
# Starts the workstation from the desktop in the user's own VOXA folder, where its settings
# file (voxa.ini), price log and NVRAM images live: $XDG_DATA_HOME/voxa, usually
# ~/.local/share/voxa, made on the first start. Started from a shell, voxa itself works in
# whatever folder it is started in.
#
# Every path is quoted: a home folder may hold blanks and any other characters. When the
# folder cannot be made or written, the launcher names it and the folder that refused it
# (and XDG_DATA_HOME when that chose the place), and exits with status 1,
# on standard error and, started from the desktop menu where nobody reads that, as a
# desktop notification when notify-send is there. VOXA_PROGRAM names another workstation
# program to start (the tests use it).
set -u

fail() {
    echo "voxa: $1" >&2
    if [ ! -t 2 ] && command -v notify-send >/dev/null 2>&1; then
        notify-send --app-name=VOXA --icon=voxa "VOXA cannot start" "$1" 2>/dev/null || true
    fi
    exit 1
}

if [ -z "${HOME:-}" ]; then
    fail "HOME is not set, so there is no home folder for the workstation's settings"
fi
data_home=${XDG_DATA_HOME:-}
case $data_home in
    /*) ;;
    *) data_home=$HOME/.local/share ;;
esac
folder=$data_home/voxa

if ! problem=$(mkdir -p -- "$folder" 2>&1); then
    # The folder that must let it be made: the deepest one on the way that is there.
    parent=$(dirname -- "$folder")
    while [ ! -d "$parent" ] && [ "$parent" != / ]; do
        parent=$(dirname -- "$parent")
    done
    where="check that $parent is a folder you may write to"
    if [ "$data_home" != "$HOME/.local/share" ]; then
        where="$where, or set XDG_DATA_HOME (now $data_home) to a folder of yours"
    fi
    fail "cannot create the folder $folder for the workstation's settings (${problem#mkdir: }); $where"
fi
if [ ! -w "$folder" ] || [ ! -x "$folder" ]; then
    fail "cannot write to $folder, the folder of the workstation's settings; check its permissions"
fi
cd -- "$folder" || fail "cannot change to the folder $folder"
exec "${VOXA_PROGRAM:-/usr/bin/voxa}" "$@"
