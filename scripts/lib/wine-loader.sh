# Sourced by the scripts that run Wine. Debian's `wine` starts the 32-bit loader whenever 32-bit
# Wine is installed, and a kernel built without 32-bit support (as some virtual machines are)
# cannot run it: then nothing under Wine would start. There the scripts put a `wine` first on the
# PATH that runs the 64-bit loader, which is all the 64-bit programs and tests need, and
# WINE_32BIT=0 tells them that 32-bit programs (the installer's stub) cannot be tried here.
WINE_32BIT=1
if [ -x /usr/lib/wine/wine ] && [ -x /usr/lib/wine/wine64 ] &&
    ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    WINE_32BIT=0
    wine_loader_dir="${TMPDIR:-/tmp}/verada-wine64-$(id -u)"
    mkdir -p "$wine_loader_dir"
    # Wine's own tools (winepath, msiexec, ...) start `wine-stable`.
    for name in wine wine-stable; do
        printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' \
            >"$wine_loader_dir/$name"
        chmod +x "$wine_loader_dir/$name"
    done
    export PATH="$wine_loader_dir:$PATH"
    echo "wine: this kernel runs no 32-bit programs: Wine runs its 64-bit loader only" >&2
fi
export WINE_32BIT
