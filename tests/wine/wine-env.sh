# Sourced by the scripts that run Windows programs: the environment of a
# 32-bit Wine prefix (or a 64-bit one, where WINEARCH=win64 is set before).
# Programs run through `wine_ja`, which gives them the Japanese ANSI code
# page (932); the locale is set per command because the shell itself may not
# have it generated. In a 64-bit prefix `wine` runs our 32-bit programs
# under WOW64.
export WINEARCH=${WINEARCH:-win32}
export WINEDEBUG=${WINEDEBUG:--all,err+module}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

wine_ja() {
    LC_ALL=ja_JP.UTF-8 wine "$@"
}
