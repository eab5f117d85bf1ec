#!/bin/sh
# Checks what a build installs and packages.
#   check_packaging.sh install  BUILD_DIR   every file in its place, nothing else
#   check_packaging.sh metadata BUILD_DIR   the desktop entry and the AppStream
#                                           metadata pass their validators
#   check_packaging.sh package  BUILD_DIR   the Debian package holds exactly
#                                           what the install lays down
#                                           (exit 77, skipped, without dpkg)
# The build must be complete; nothing is written outside a temporary folder.
# CMAKE and CPACK name the programs to use when they are not on the PATH.
set -eu

mode=$1
build=$2
cmake=${CMAKE:-cmake}
cpack=${CPACK:-cpack}

app_id=io.github.vorbel.Vorbel
icon_sizes="16 32 48 64 128 256"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

expected_files() {
    {
        echo /usr/bin/vorbel
        echo /usr/share/applications/vorbel.desktop
        echo "/usr/share/metainfo/$app_id.metainfo.xml"
        echo /usr/share/doc/vorbel/copyright
        for size in $icon_sizes; do
            echo "/usr/share/icons/hicolor/${size}x$size/apps/vorbel.png"
        done
        echo /usr/share/icons/hicolor/scalable/apps/vorbel.svg
    } | LC_ALL=C sort
}

# Files and links below $1, as absolute paths of the installed system.
listed_files() {
    (cd "$1" && find . -type f -o -type l) | sed 's|^\.||' | LC_ALL=C sort
}

install_into() {
    DESTDIR=$1 "$cmake" --install "$build" --prefix /usr >"$work/install.log" 2>&1 ||
        { cat "$work/install.log" >&2; fail "cmake --install failed"; }
}

# The value of KEY in the desktop entry $1.
desktop_value() {
    sed -n "s/^$2=//p" "$1" | head -n 1
}

check_install() {
    root=$work/root
    install_into "$root"
    expected_files >"$work/expected"
    listed_files "$root" >"$work/installed"
    diff -u "$work/expected" "$work/installed" || fail "the install lays down other files than expected"

    [ -x "$root/usr/bin/vorbel" ] || fail "/usr/bin/vorbel is not executable"
    file -b "$root/usr/bin/vorbel" | grep -q '^ELF' || fail "/usr/bin/vorbel is no ELF executable"

    for size in $icon_sizes; do
        icon=$root/usr/share/icons/hicolor/${size}x$size/apps/vorbel.png
        file -b "$icon" | grep -q "^PNG image data, $size x $size," ||
            fail "the ${size}x$size icon is $(file -b "$icon")"
    done
    file -b "$root/usr/share/icons/hicolor/scalable/apps/vorbel.svg" | grep -q 'SVG' ||
        fail "the scalable icon is no SVG picture"

    desktop=$root/usr/share/applications/vorbel.desktop
    [ "$(desktop_value "$desktop" Name)" = Vorbel ] || fail "the desktop entry's name is not Vorbel"
    [ -n "$(desktop_value "$desktop" Comment)" ] || fail "the desktop entry has no comment"
    [ "$(desktop_value "$desktop" Categories)" = "Education;Science;Engineering;" ] ||
        fail "the desktop entry's categories are $(desktop_value "$desktop" Categories)"
    exec_line=$(desktop_value "$desktop" Exec)
    [ -x "$root/usr/bin/${exec_line%% *}" ] || fail "the desktop entry runs '$exec_line', which is not installed"
    icon_name=$(desktop_value "$desktop" Icon)
    [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon_name.svg" ] ||
        fail "the desktop entry's icon '$icon_name' is not installed"
    # The class that Qt gives the window on X11 is the application name.
    [ "$(desktop_value "$desktop" StartupWMClass)" = VORBEL ] || fail "StartupWMClass is not VORBEL"

    metainfo=$root/usr/share/metainfo/$app_id.metainfo.xml
    grep -q "<launchable type=\"desktop-id\">vorbel.desktop</launchable>" "$metainfo" ||
        fail "the metainfo does not launch vorbel.desktop"
    grep -q '<project_license>MIT</project_license>' "$metainfo" || fail "the metainfo names no MIT licence"
    grep -q '@[A-Z_]*@' "$metainfo" && fail "the metainfo has an unreplaced @VARIABLE@"
    grep -q 'Permission is hereby granted' "$root/usr/share/doc/vorbel/copyright" ||
        fail "the copyright file is not the MIT licence"
    echo "install: $(wc -l <"$work/installed") files in their places"
}

check_metadata() {
    for tool in desktop-file-validate:desktop-file-utils appstreamcli:appstream; do
        command -v "${tool%%:*}" >/dev/null 2>&1 || fail "${tool%%:*} is missing: install ${tool#*:}"
    done
    root=$work/root
    install_into "$root"
    desktop=$root/usr/share/applications/vorbel.desktop
    metainfo=$root/usr/share/metainfo/$app_id.metainfo.xml

    desktop-file-validate "$desktop" >"$work/desktop.log" 2>&1 || true
    cat "$work/desktop.log"
    if grep -q -e 'error:' -e 'warning:' "$work/desktop.log"; then
        fail "desktop-file-validate rejects vorbel.desktop"
    fi
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"
    appstreamcli validate-tree --no-net "$root" || fail "appstreamcli rejects the installed tree"
    echo "metadata: the desktop entry and the metainfo validate"
}

check_package() {
    if ! command -v dpkg-deb >/dev/null 2>&1; then
        echo "package: skipped, no dpkg-deb on this system"
        exit 77
    fi
    "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log" >&2; fail "cpack failed"; }
    set -- "$work"/out/vorbel_*.deb
    [ -f "$1" ] || { cat "$work/cpack.log" >&2; fail "cpack made no vorbel_*.deb"; }
    deb=$1

    [ "$(dpkg-deb -f "$deb" Package)" = vorbel ] || fail "the package is not named vorbel"
    depends=$(dpkg-deb -f "$deb" Depends)
    for needed in libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins fonts-liberation; do
        echo "$depends" | grep -q "\\b$needed\\b" || fail "the package does not depend on $needed: $depends"
    done

    dpkg-deb -c "$deb" >"$work/contents"
    grep -v '^[-dl]' "$work/contents" && fail "the package holds something other than files, links and folders"
    grep -v ' root/root ' "$work/contents" && fail "the package holds files not owned by root"
    awk '$1 ~ /^[-l]/ { sub(/^\./, "", $6); print $6 }' "$work/contents" | LC_ALL=C sort >"$work/packaged"
    awk '$1 ~ /^-/ && $6 != "./usr/bin/vorbel" && $1 != "-rw-r--r--"' "$work/contents" | grep . &&
        fail "the package has data files that are not mode 644"
    grep -q '^-rwxr-xr-x .* \./usr/bin/vorbel$' "$work/contents" || fail "/usr/bin/vorbel is not mode 755"

    install_into "$work/root"
    listed_files "$work/root" >"$work/installed"
    diff -u "$work/installed" "$work/packaged" || fail "the package holds other files than the install"
    echo "package: $(basename "$deb") holds the $(wc -l <"$work/packaged") installed files"
}

case $mode in
install) check_install ;;
metadata) check_metadata ;;
package) check_package ;;
*) fail "unknown mode '$mode'" ;;
esac
