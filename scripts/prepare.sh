# Shared by scripts/run and scripts/test: install what the build needs, then configure and build.
# Sourced, not run.

zephul_packages="cmake g++ make qt6-base-dev qt6-base-dev-tools libgl-dev strace"
# For the Debian package: dpkg-shlibdeps and dpkg-deb, the manual pages, and the file command that
# CPack uses to find the binaries whose libraries become dependencies.
zephul_package_packages="dpkg-dev help2man file"
# For the package test, which drives the installed program on a virtual display.
zephul_display_packages="xvfb xauth xdotool openbox"

zephul_install() {
    local missing=() pkg
    for pkg in $zephul_packages "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Run this once, then try again:" >&2
        echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

zephul_build() {
    cmake --preset default >/dev/null
    cmake --build --preset default
}
