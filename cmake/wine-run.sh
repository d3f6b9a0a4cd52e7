#!/bin/sh
# Runs a Windows program under wine, for the build and its tests. The first
# run starts a wine server and wine's own services under it, with their
# output away from the pipes through which CTest reads the programs (they
# would hold them open), and in a new wine prefix makes the prefix; runs side
# by side wait for that. The server stops a minute after the last program.
export WINEDEBUG=-all
prefix=${WINEPREFIX:-$HOME/.wine}
mkdir -p "$prefix"
(
    flock 9
    # 0: a server was started now; 2: one was running already.
    if wineserver -p60 9>&- 2>/dev/null; then
        wineboot --init </dev/null >/dev/null 2>&1 9>&-
    fi
) 9>"$prefix/.sfoltitesto-start.lock"
exec wine "$@"
