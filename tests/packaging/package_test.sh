#!/bin/bash
# Makes the Debian package from the build folder's install rules and checks
# its contents (dpkg-deb -c) and its control fields (dpkg-deb -f).
# usage: package_test.sh CPACK CPACK_CONFIG VERSION SCRATCH_DIR
set -u
cpack=$1 config=$2 version=$3 scratch=$4
rm -rf "$scratch" && mkdir -p "$scratch" || exit 1
if ! "$cpack" -G DEB --config "$config" -B "$scratch" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    echo "FAIL: cpack -G DEB failed"
    exit 1
fi
deb="$scratch/lumigal_${version}_amd64.deb"
if [ ! -f "$deb" ]; then
    echo "FAIL: no $deb; cpack made: $(ls "$scratch"/*.deb 2>/dev/null)"
    exit 1
fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

listing=$(dpkg-deb -c "$deb") || { echo "FAIL: dpkg-deb -c"; exit 1; }
# "MODE OWNER SIZE DATE TIME PATH" -> "MODE PATH"
entries=$(awk '{print $1, $6}' <<<"$listing")
for file in \
    usr/bin/Lumigal usr/bin/lumigal-batch \
    usr/share/lumigal/Lumigal.html usr/share/lumigal/screenshots/main-window.png \
    usr/share/applications/lumigal.desktop \
    usr/share/icons/hicolor/scalable/apps/lumigal.svg \
    usr/share/icons/hicolor/48x48/apps/lumigal.png \
    usr/share/icons/hicolor/128x128/apps/lumigal.png \
    usr/share/icons/hicolor/256x256/apps/lumigal.png \
    usr/share/metainfo/org.example.lumigal.Lumigal.metainfo.xml \
    usr/share/man/man1/lumigal-batch.1.gz usr/share/man/man1/Lumigal.1.gz \
    usr/share/man/man1/lumigal-setup.1.gz \
    usr/share/bash-completion/completions/lumigal-batch \
    usr/share/doc/lumigal/copyright usr/share/doc/lumigal/changelog.gz; do
    grep -q " \./$file\$" <<<"$entries" || fail "the package lacks /$file"
done
# Everything under /usr, owned by root, with the usual modes.
outside=$(awk '{print $2}' <<<"$entries" | grep -vE '^\./(usr/.*)?$')
[ -z "$outside" ] || fail "files outside /usr: $outside"
strangers=$(awk '$2 != "root/root" {print $6}' <<<"$listing")
[ -z "$strangers" ] || fail "not owned by root: $strangers"
while read -r mode path; do
    case $mode:$path in
        drwxr-xr-x:* | -rwxr-xr-x:./usr/bin/* | -rw-r--r--:*) ;;
        *) fail "$path has mode $mode" ;;
    esac
done <<<"$entries"
# Every manual page is a page man reads.
for page in lumigal-batch Lumigal lumigal-setup; do
    dpkg-deb --fsys-tarfile "$deb" | tar -xOf - "./usr/share/man/man1/$page.1.gz" | gzip -t ||
        fail "$page.1.gz is not gzip data"
done

# Every picture the manual shows is installed beside it.
manual=$(dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/lumigal/Lumigal.html)
pictures=$(grep -oE 'src="[^"]+"' <<<"$manual" | sed 's/^src="//; s/"$//')
[ -n "$pictures" ] || fail "the manual shows no picture"
for picture in $pictures; do
    grep -q " \./usr/share/lumigal/$picture\$" <<<"$entries" ||
        fail "the manual shows $picture, which is not installed beside it"
done

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = lumigal ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = graphics ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
for library in libc6 libstdc++6 libmagickwand-6.q16-6 libqt6widgets6; do
    grep -qE "(^|, )${library//+/\\+}( |,|$)" <<<"$depends" || fail "Depends lacks $library: $depends"
done
# The summary, then a long description of lines shorter than 80 columns.
description=$(field Description)
[ "$(head -1 <<<"$description")" = "turn a set of images into an HTML album page" ] ||
    fail "summary: $(head -1 <<<"$description")"
[ "$(wc -l <<<"$description")" -ge 3 ] || fail "no long description"
long=$(awk 'length > 80' <<<"$description")
[ -z "$long" ] || fail "description lines too long: $long"

# The licence: the GPL's SPDX name, as in the metainfo.
copyright=$(dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/doc/lumigal/copyright)
grep -qx 'License: GPL-3.0-or-later' <<<"$copyright" || fail "the copyright file names no GPL-3.0-or-later licence"
# Debian's own checks find nothing to say (its note about running as root aside).
if command -v lintian >/dev/null; then
    said=$(lintian --fail-on error,warning "$deb" 2>&1) || fail "lintian: $said"
    grep -v 'running with root privileges' <<<"$said" | grep -E '^[EW]:' && fail "lintian: $said"
else
    fail "lintian is missing (scripts/setup.sh installs it)"
fi
# Nothing names a placeholder address.
grep -q 'example\.org' <<<"$(dpkg-deb -f "$deb"; dpkg-deb --fsys-tarfile "$deb" | tar -xOf - \
    ./usr/share/doc/lumigal/copyright ./usr/share/metainfo/org.example.lumigal.Lumigal.metainfo.xml)" &&
    fail "the package metadata names example.org"

if [ "$failures" -ne 0 ]; then
    echo "$failures package check(s) failed"
    exit 1
fi
echo "package: $(basename "$deb") checked"
