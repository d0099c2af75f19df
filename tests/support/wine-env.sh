# Sourced by the scripts that run Windows programs. Chooses how Wine runs here:
# the 32-bit product build under 32-bit Wine where this machine's kernel can
# execute 32-bit programs, else the 64-bit build of the same sources under
# 64-bit Wine. Exports AU_WINDOWS_PRESET, AU_WINE, WINEARCH and the usual
# quiet, offline, code-page-936 settings.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  export AU_WINDOWS_PRESET=win32 AU_WINE=/usr/lib/wine/wine WINEARCH=win32
else
  export AU_WINDOWS_PRESET=win64 AU_WINE=/usr/lib/wine/wine64 WINEARCH=win64
  export WINELOADER=/usr/lib/wine/wine64
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=zh_CN.UTF-8
