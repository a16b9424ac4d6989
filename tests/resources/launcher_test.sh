#!/bin/sh
# The desktop launcher, run as the desktop runs it: home folders whose paths hold blanks
# and non-ASCII characters, XDG_DATA_HOME, a read-only home, an unwritable VOXA folder and
# no HOME at all. A stand-in workstation program prints the folder it was started in and
# its arguments; a stand-in notify-send records the desktop notice.
#
#   launcher_test.sh LAUNCHER
set -u
launcher=$1
tmp=$(mktemp -d)
trap 'chmod -R u+rwx "$tmp" 2>/dev/null; rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
mkdir -p "$tmp/bin" "$tmp/notices"
chmod 777 "$tmp/notices"
cat >"$tmp/bin/workstation" <<'PROGRAM'
#!/bin/sh
pwd
for word in "$@"; do echo "[$word]"; done
PROGRAM
cat >"$tmp/bin/notify-send" <<PROGRAM
#!/bin/sh
printf '%s\n' "\$@" >"$tmp/notices/notice"
PROGRAM
chmod 755 "$tmp/bin/workstation" "$tmp/bin/notify-send"

# The superuser may write anywhere: a read-only home is tried as the user nobody, for whom a
# folder of root's is read-only.
if [ "$(id -u)" -eq 0 ]; then
    as_user() { setpriv --reuid=65534 --regid=65534 --clear-groups -- "$@"; }
    make_read_only() { chmod 755 "$1"; }
else
    as_user() { "$@"; }
    make_read_only() { chmod 555 "$1"; }
fi

failures=0
expect() {  # what, actual, expected
    if [ "$2" != "$3" ]; then
        printf 'FAIL %s\n  got:      %s\n  expected: %s\n' "$1" "$2" "$3"
        failures=$((failures + 1))
    else
        printf 'ok   %s\n' "$1"
    fi
}
expect_in() {  # what, text, part
    case $2 in
        *"$3"*) printf 'ok   %s\n' "$1" ;;
        *) printf 'FAIL %s\n  %s\n  does not hold: %s\n' "$1" "$2" "$3"; failures=$((failures + 1)) ;;
    esac
}
# Runs the launcher with only the environment given, as the user; its output in $out, its
# standard error in $err, its exit status in $status.
launch() {
    rm -f "$tmp/notices/notice"
    out=$(as_user env -i PATH="$tmp/bin:/usr/bin:/bin" VOXA_PROGRAM="$tmp/bin/workstation" "$@" \
        sh "$launcher" "first word" "é" 2>"$tmp/notices/err")
    status=$?
    err=$(cat "$tmp/notices/err")
}

for name in "home with blanks" "Zoë Ünïcode ĝ 家" "  lead and trail  "; do
    home="$tmp/$name"
    mkdir -p "$home"
    chmod 777 "$home"
    launch HOME="$home"
    expect "home \"$name\": exit status" "$status" 0
    expect "home \"$name\": started in its folder with its arguments" "$out" \
        "$home/.local/share/voxa
[first word]
[é]"
    expect "home \"$name\": folder made" "$(test -d "$home/.local/share/voxa" && echo yes)" yes
done

data="$tmp/data home ü"
mkdir -p "$data"
chmod 777 "$data"
launch HOME="$tmp/home with blanks" XDG_DATA_HOME="$data"
expect "XDG_DATA_HOME: started in its voxa folder" "$(echo "$out" | head -n 1)" "$data/voxa"
launch HOME="$tmp/home with blanks" XDG_DATA_HOME="relative/path"
expect "relative XDG_DATA_HOME is ignored" "$(echo "$out" | head -n 1)" \
    "$tmp/home with blanks/.local/share/voxa"

readonly_home="$tmp/read-only home ä"
mkdir -p "$readonly_home"
make_read_only "$readonly_home"
launch HOME="$readonly_home"
expect "read-only home: exit status" "$status" 1
expect "read-only home: workstation not started" "$out" ""
expect_in "read-only home: says where" "$err" \
    "voxa: cannot create the folder $readonly_home/.local/share/voxa"
expect_in "read-only home: says why" "$err" "Permission denied"
expect_in "read-only home: desktop notice" "$(cat "$tmp/notices/notice" 2>/dev/null)" \
    "VOXA cannot start"

locked_home="$tmp/locked folder"
mkdir -p "$locked_home/.local/share/voxa"
chmod 777 "$locked_home" "$locked_home/.local" "$locked_home/.local/share"
make_read_only "$locked_home/.local/share/voxa"
launch HOME="$locked_home"
expect "unwritable VOXA folder: exit status" "$status" 1
expect_in "unwritable VOXA folder: says where" "$err" \
    "voxa: cannot write to $locked_home/.local/share/voxa"

launch
expect "no HOME: exit status" "$status" 1
expect_in "no HOME: says so" "$err" "HOME is not set"

if [ "$failures" -ne 0 ]; then
    echo "$failures failed"
    exit 1
fi
