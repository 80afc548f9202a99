# The wine loaders the Windows suites run under, and which of them this machine can start.
# Sourced by scripts/test and by the test of the detection itself.
#
# Debian's `wine` launcher goes through the 32-bit loader even for 64-bit programs, and some
# kernels refuse every 32-bit program, so the 64-bit suite calls the 64-bit loader itself.

WINE32_LOADER=${WINE32_LOADER:-/usr/lib/wine/wine}
WINE64_LOADER=${WINE64_LOADER:-/usr/lib/wine/wine64}

# Whether PROGRAM starts on this machine: it is run, not guessed from the distribution. A
# program the kernel refuses ("Exec format error") or whose interpreter is missing fails.
can_execute() {
    "$1" --version >/dev/null 2>&1
}

# "yes" when the 32-bit suite can run here, "no" otherwise.
win32_suite_runs() {
    if can_execute "$WINE32_LOADER"; then echo yes; else echo no; fi
}

# Makes the wine prefix $WINEPREFIX once, quietly and without a display: through the
# launcher when 32-bit programs run (a prefix for both suites), else through the 64-bit
# loader. A prefix made for the other kind of machine is made anew.
make_wine_prefix() {
    local runs32=$1 kind loader
    if [ "$runs32" = yes ]; then kind=wow64 loader=wine; else kind=win64 loader=$WINE64_LOADER; fi
    local marker="$WINEPREFIX/zandor-prefix-kind"
    if [ "$(cat "$marker" 2>/dev/null)" = "$kind" ]; then return 0; fi
    echo "Initialising the wine prefix $WINEPREFIX ($kind)"
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    if ! "$loader" wineboot -i >"$WINEPREFIX.log" 2>&1; then
        cat "$WINEPREFIX.log"
        return 1
    fi
    wineserver_wait
    echo "$kind" >"$marker"
}

# Waits until wine's server has ended; it lingers briefly after its last program.
wineserver_wait() {
    local server
    server=$(command -v wineserver || echo /usr/lib/wine/wineserver)
    "$server" -w || true
}
