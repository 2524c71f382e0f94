#!/bin/sh
# Quillor's background update check. Quillor starts it at every start with its
# own version and the address of its home page on the tools site, and does not
# wait for it:
#
#     sh test.sh 4.2.0 http://tools.example.com/Applications/Tolva/QLR4x/QLR.html
#
# The script reads the site's download list. When the list names a later
# version of Quillor it says so on standard output and, where the desktop
# offers it, as a notification. It stays silent when the site cannot be reached
# or the list names no version.
#
# Exit status: 0 checked, 1 could not check, 2 called without a version and a
# home page. Delete this file to switch the check off.

version=$1
home=$2
[ -n "$version" ] && [ -n "$home" ] || exit 2

# "http://host[:port]" and the home page's path on that site.
site=$(printf '%s\n' "$home" | sed -n 's|^\(https\{0,1\}://[^/]\{1,\}\)/.*$|\1|p')
path=$(printf '%s\n' "$home" | sed -n 's|^https\{0,1\}://[^/]\{1,\}\(/.*\)$|\1|p')
[ -n "$site" ] && [ -n "$path" ] || exit 2

fetch() {
    if command -v curl >/dev/null 2>&1; then
        curl -fsS --max-time 30 -A 'HTTP Generic' "$1"
    elif command -v wget >/dev/null 2>&1; then
        wget -q -T 30 -U 'HTTP Generic' -O - "$1"
    else
        return 1
    fi
}

list=$(fetch "$site/SiteList/AllDownloads/AllDownloads.XML" 2>/dev/null) || exit 1

# The program's entry is "^<path>^ifram_a"; its version follows the next
# "<cell>" (both found without regard to case).
latest=$(printf '%s' "$list" | awk -v entry="^$path^ifram_a" '
    BEGIN { RS = "\001" }
    {
        at = index(tolower($0), tolower(entry))
        if (!at) exit
        rest = substr($0, at)
        cell = index(tolower(rest), "<cell>")
        if (!cell) exit
        rest = substr(rest, cell + 6)
        if (match(rest, /^[0-9.]+/)) print substr(rest, 1, RLENGTH)
        exit
    }')
[ -n "$latest" ] || exit 1

# Part by part as numbers; a missing part counts as 0.
later=$(awk -v a="$latest" -v b="$version" 'BEGIN {
    n = split(a, x, "."); m = split(b, y, "."); k = (n > m) ? n : m
    for (i = 1; i <= k; i++) {
        p = (i <= n) ? x[i] + 0 : 0; q = (i <= m) ? y[i] + 0 : 0
        if (p != q) { print (p > q) ? "yes" : "no"; exit }
    }
    print "no"
}')

if [ "$later" = yes ]; then
    message="Quillor $latest is available on $site (this is $version). Its home page: $home"
    printf '%s\n' "$message"
    if command -v notify-send >/dev/null 2>&1; then
        notify-send "Quillor" "$message" >/dev/null 2>&1
    fi
fi
exit 0
