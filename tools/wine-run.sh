#!/usr/bin/env bash
# Runs a Windows program under wine, as the Windows target's emulator:
#   bash tools/wine-run.sh PROGRAM.exe [ARG...]
#   bash tools/wine-run.sh --stop      stops the prefix's wineserver
# In a wine prefix of its own, WINEPREFIX if set, else one for this user
# below the temporary directory (never ~/.wine), made on first use; wine's
# own messages off. A wineserver outlives the programs by a few seconds;
# --stop ends the one of this prefix, no other.
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-${TMPDIR:-/tmp}/chipid-wine-$(id -u)}
export WINEDEBUG=-all
server=$(command -v wineserver || echo /usr/lib/wine/wineserver)
if [[ ${1:-} == --stop ]]; then
    "$server" -k 2>/dev/null || true
    exit 0
fi
# Debian's wine64 package puts the loader here, and the wine package, not
# needed, would put it on PATH.
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
[[ -x $wine ]] || { echo "wine-run: wine64 is missing: apt-get install wine64" >&2; exit 127; }
if [[ ! -e $WINEPREFIX/.chipid-ready ]]; then
    mkdir -p "$WINEPREFIX"
    # One first run makes the prefix, however many start at once, and waits
    # until every process that wineboot started has ended: a program run
    # while the prefix is still being set up can lose its output.
    flock "$WINEPREFIX" bash -c '
        [[ -e $WINEPREFIX/.chipid-ready ]] && exit 0
        "$1" wineboot --init >"$WINEPREFIX/.wineboot.log" 2>&1 </dev/null && "$2" -w &&
            touch "$WINEPREFIX/.chipid-ready" ||
            { echo "wine-run: wine cannot make its prefix $WINEPREFIX:" >&2
              cat "$WINEPREFIX/.wineboot.log" >&2; exit 1; }' _ "$wine" "$server" || exit 127
fi
# wine opens its connection to the wineserver on the lowest free file
# descriptors, so a standard stream that the caller closed would become
# that socket, and the program's writes would go into it ("Protocol error:
# partial recvmsg") and succeed. Windows gives a program started without a
# standard stream a handle that cannot be written; /dev/null opened for the
# other direction is the same to the program.
[[ -e /proc/self/fd/0 ]] || exec 0>/dev/null
[[ -e /proc/self/fd/1 ]] || exec 1</dev/null
[[ -e /proc/self/fd/2 ]] || exec 2</dev/null
exec "$wine" "$@"
