#!/bin/sh
# Starts the workstation from the desktop in the user's own VOXA folder, where its settings
# file (voxa.ini), price log and NVRAM images live: $XDG_DATA_HOME/voxa, usually
# ~/.local/share/voxa, made on the first start. Started from a shell, voxa itself works in
# whatever folder it is started in.
set -u

data_home=${XDG_DATA_HOME:-}
case $data_home in
    /*) ;;
    *) data_home=${HOME:?HOME is not set}/.local/share ;;
esac
folder=$data_home/voxa

if ! mkdir -p -- "$folder" 2>/dev/null; then
    echo "voxa: cannot create the folder $folder for the workstation's settings;" \
        "check that your home folder is writable" >&2
    exit 1
fi
if [ ! -w "$folder" ]; then
    echo "voxa: cannot write to $folder, the folder of the workstation's settings;" \
        "check its permissions" >&2
    exit 1
fi
cd -- "$folder" || exit 1
exec "${VOXA_PROGRAM:-/usr/bin/voxa}" "$@"
