#!/usr/bin/env bash
# Installs the build into a temporary prefix, makes the prefix read-only and uses the
# installed programs as a user would: the application folder must land in the user's data
# folder, the desktop files must validate, the manual must cover every option of --help.
# Usage: install_test.sh BUILD_FOLDER VERSION
set -uo pipefail
build=$1
version=$2
work=$(mktemp -d)
prefix=$work/prefix
failures=0
cleanup() {
    [[ -n ${gui_pid-} ]] && kill "$gui_pid" 2>/dev/null
    chmod -R u+w "$work" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    "$@" || fail "$what"
}

# --- the layout -------------------------------------------------------------------------
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || {
    cat "$work/install.log" >&2
    exit 1
}
while IFS= read -r f; do
    [[ $f == "$prefix"/* ]] || fail "installed outside the prefix: $f"
done <"$build/install_manifest.txt"

for f in bin/echofind bin/echofind-cli; do
    check "$f is a program" test -x "$prefix/$f"
done
for f in config.xml "Default Profile.xml"; do
    check "share/echofind/$f" test -f "$prefix/share/echofind/$f"
done
if [[ -e $build/bin/libtreewell.so ]]; then
    # The program loads the library by its soname from ../lib; the file must carry it.
    library=("$prefix"/lib/libtreewell.so.*.*)
    soname=$(readelf -d "${library[0]}" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
    check "libtreewell.so has a versioned soname (got '$soname')" \
        test "${soname#libtreewell.so.}" != "$soname"
    check "lib/$soname is installed" test -f "$prefix/lib/$soname"
    check "the build has lib/$soname beside the program" test -e "$build/bin/$soname"
fi
for size in 16 22 24 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/echofind.png
    file "$png" | grep -q "PNG image data, $size x $size," || fail "icon $size: $(file "$png")"
done
check "scalable icon" test -f "$prefix/share/icons/hicolor/scalable/apps/echofind.svg"
check "completion installed" test -f "$prefix/share/bash-completion/completions/echofind-cli"

# --- desktop entry and software-centre description ---------------------------------------
desktop=$prefix/share/applications/echofind.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
for want in 'Exec=echofind' 'Icon=echofind' 'GenericName=Duplicate File Finder' \
    'Categories=Utility;FileTools;'; do
    grep -qxF "$want" "$desktop" || fail "desktop entry lacks $want"
done
metainfo=("$prefix"/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "${metainfo[@]}" >"$work/appstream.log" 2>&1 || {
    cat "$work/appstream.log" >&2
    fail "appstreamcli validate"
}
grep -q '<launchable type="desktop-id">echofind.desktop</launchable>' "${metainfo[@]}" ||
    fail "the metainfo does not launch echofind.desktop"
# The newest release comes first; a version bump must add it.
grep -m1 '<release ' "${metainfo[@]}" | grep -qF "version=\"$version\"" ||
    fail "the metainfo's newest release is not $version"

# --- the manual answers what --help does ---------------------------------------------------
cli=$prefix/bin/echofind-cli
for page in echofind echofind-cli; do
    gzip -dc "$prefix/share/man/man1/$page.1.gz" >"$work/$page.1" || fail "$page.1.gz"
done
for command in scan run; do
    "$cli" "$command" --help >"$work/help.txt" || fail "$command --help"
    # Every option that the help text lists, in the manual's escaped spelling.
    options=$(grep -oE '(^|[ ,])--?[a-z][a-z-]*' "$work/help.txt" | tr -d ' ,' | sort -u)
    [[ -n $options ]] || fail "no options read from $command --help"
    for o in $options; do
        grep -qF -- "${o//-/\\-}" "$work/echofind-cli.1" ||
            fail "echofind-cli.1 does not describe $command's $o"
    done
done
for status in 0 1 2 3 4; do
    grep -qx "\.B $status" "$work/echofind-cli.1" ||
        fail "echofind-cli.1 does not explain exit status $status"
done
grep -q '^\.SH EXAMPLES' "$work/echofind-cli.1" || fail "no examples"

# --- the installed programs, read-only, for an ordinary home ---------------------------------
chmod -R a-w "$prefix"
touch "$work/before"
home=$work/home
mkdir -p "$home" "$work/run" "$work/tree/a/b"
chmod 700 "$work/run"
printf 'same words\n' >"$work/tree/a/one.txt"
printf 'same words\n' >"$work/tree/a/b/two.txt"
printf 'other words\n' >"$work/tree/a/b/three.txt"
printf 'same words\n' >"$work/tree/four.txt"
user_env=(env -u ECHOFIND_HOME -u XDG_DATA_HOME HOME="$home" XDG_RUNTIME_DIR="$work/run"
    PATH="$prefix/bin:$PATH")

"${user_env[@]}" "$cli" scan -r -q "$work/tree" >"$work/groups.txt" 2>"$work/scan.err" ||
    fail "scan: $(cat "$work/scan.err")"
sort "$work/groups.txt" | grep -v '^$' >"$work/found.txt"
printf '%s\n' "$work/tree/a/b/two.txt" "$work/tree/a/one.txt" "$work/tree/four.txt" |
    sort >"$work/expected.txt"
diff -u "$work/expected.txt" "$work/found.txt" >&2 || fail "scan found other groups"

# A profile run needs the application folder: the user's data folder, laid out on first use.
"${user_env[@]}" "$cli" scan --profile "Default Profile" -q >/dev/null 2>"$work/profile.err"
rc=$?
((rc <= 1)) || fail "profile scan exited $rc: $(cat "$work/profile.err")"
app=$home/.local/share/echofind
user=$(id -un)
for f in config.xml "$user/Profile/Default Profile.xml" "$user/Profile/AllProfiles.xml" \
    "$user/Log/Default Profile.log"; do
    check "data folder holds $f" test -f "$app/$f"
done
[[ $(stat -c %A "$app/config.xml") == -?w* ]] || fail "the user's config.xml is read-only"
[[ -z $(find "$prefix" -newer "$work/before" -print -quit) ]] || fail "the prefix was written"
# Besides the data folder only the hash cache of the scan of named folders, in the cache folder.
[[ -z $(find "$home" -maxdepth 1 -mindepth 1 ! -name .local ! -name .cache) ]] ||
    fail "files outside the data and cache folders: $(ls -A "$home")"
[[ -z $(find "$home/.cache" -mindepth 1 ! -path "$home/.cache/echofind*" 2>/dev/null) ]] ||
    fail "the cache folder holds more than the hash cache: $(ls -AR "$home/.cache")"

# XDG_DATA_HOME moves it, ECHOFIND_HOME overrides both.
"${user_env[@]}" XDG_DATA_HOME="$work/xdg" "$cli" scan --profile "Default Profile" -q \
    >/dev/null 2>&1
check "XDG_DATA_HOME is used" test -f "$work/xdg/echofind/config.xml"

# --- completion ---------------------------------------------------------------------------
if [[ -f /usr/share/bash-completion/bash_completion ]]; then
    complete_words() { # prints the completions of the words given, the last one partial
        "${user_env[@]}" bash -c '
            source /usr/share/bash-completion/bash_completion
            source "$1"; shift
            COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
            COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
            _echofind_cli; printf "%s\n" "${COMPREPLY[@]}"' _ \
            "$prefix/share/bash-completion/completions/echofind-cli" "$@"
    }
    complete_words echofind-cli s | grep -qx scan || fail "completion of the command"
    complete_words echofind-cli scan --con | grep -qx -- --content || fail "completion of --con"
    complete_words echofind-cli scan --content "" | sort | tr '\n' ' ' | grep -qx 'crc md5 ' ||
        fail "completion of --content's values"
    complete_words echofind-cli run --remove De | grep -qx "Default Profile" ||
        fail "completion of a profile name from the data folder"
    complete_words echofind-cli run --pro | grep -qx -- --protect || fail "completion of --pro"
    complete_words echofind-cli run --protect "$work" De | grep -qx "Default Profile" ||
        fail "completion of a profile name after --protect's folder"
    complete_words echofind-cli run --unmark-under "$work/xd" | grep -qx -- "$work/xdg" ||
        fail "completion of --unmark-under's folder"
    complete_words echofind-cli run --mark-name "*.tmp" De | grep -qx "Default Profile" ||
        fail "completion of a profile name after --mark-name's pattern"
else
    echo "bash-completion is not installed: completion not tried" >&2
fi

# --- the desktop program --------------------------------------------------------------------
# A windowed program (linked against Qt Widgets) must show its main window, titled
# "Echofind"; a program without windows lays out its folder and ends by itself.
gui_home=$work/gui-home
mkdir -p "$gui_home"
# The tests' own offscreen platform would keep the window off the display it is looked for on.
gui_env=(env -u ECHOFIND_HOME -u XDG_DATA_HOME -u QT_QPA_PLATFORM HOME="$gui_home"
    XDG_RUNTIME_DIR="$work/run")
if readelf -d "$prefix/bin/echofind" | grep -q 'libQt6Widgets'; then
    if ! command -v xvfb-run >/dev/null || ! command -v xwininfo >/dev/null; then
        fail "xvfb-run and xwininfo are needed to see the window"
    else
        cat >"$work/watch.sh" <<'WATCH'
#!/usr/bin/env bash
# Runs the program on this display until its main window shows: a normal window (not a
# dialog such as the splash) titled "Echofind" that is on the screen.
main_window_shown() {
    local id
    for id in $(xwininfo -root -tree 2>/dev/null | sed -n 's/^ *\(0x[0-9a-f]*\) "Echofind": .*/\1/p'); do
        xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' || continue
        xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q '= _NET_WM_WINDOW_TYPE_NORMAL' &&
            return 0
    done
    return 1
}
"$@" >"$WORK/gui.log" 2>&1 &
pid=$!
for _ in $(seq 1 300); do
    if main_window_shown; then
        kill "$pid"
        wait "$pid" 2>/dev/null
        exit 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill "$pid" 2>/dev/null
exit 1
WATCH
        WORK=$work "${gui_env[@]}" xvfb-run -a bash "$work/watch.sh" "$prefix/bin/echofind" ||
            fail "no window titled Echofind: $(cat "$work/gui.log")"
    fi
else
    "${gui_env[@]}" QT_QPA_PLATFORM=offscreen timeout 20 "$prefix/bin/echofind" \
        >"$work/gui.log" 2>&1 || fail "echofind did not start: $(cat "$work/gui.log")"
fi
check "echofind laid out its data folder" test -f "$gui_home/.local/share/echofind/config.xml"
grep -q 'Application started' "$gui_home/.local/share/echofind/Log/Echofind.log" 2>/dev/null ||
    fail "echofind did not log its start"

((failures == 0)) || {
    echo "$failures failures" >&2
    exit 1
}
echo "installed layout, desktop files, manual and programs are in order"
