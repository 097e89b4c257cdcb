# Sourced by the scripts that run the Windows programs under wine.

# A fresh 64-bit prefix in $1, exported as WINEPREFIX: no Mono or Gecko prompts, and
# Tahoma and Liberation Sans in its Fonts folder as a Windows desktop has its fonts (a bare
# prefix only finds what fontconfig offers).
new_wine_prefix() {
    export WINEPREFIX=$1 WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    wineboot --init >/dev/null 2>&1
    wineserver -w
    cp /usr/share/wine/fonts/tahoma*.ttf /usr/share/fonts/truetype/liberation/LiberationSans-*.ttf \
        "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
}

# The first X display number from $1 on whose lock file no server sits.
free_x_display() {
    local display=$1
    while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
    echo "$display"
}
