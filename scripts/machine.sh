#!/usr/bin/env bash
# What this machine can run, and how to start Wine on it. Sourced by setup.sh, wine-run,
# xvfb-wine-run, test.sh and demo.sh; run on its own it prints its one-line verdict:
#
#   bash scripts/machine.sh              "machine: ..." (exit 0 if 32-bit code runs, 1 if not)
#   bash scripts/machine.sh --runs-i386  no output; the same exit status
#
# Some kernels run no 32-bit (i386) code at all: IA-32 emulation is compiled out or switched off,
# and every i386 program fails with "Exec format error". Debian's /usr/bin/wine starts the 32-bit
# loader whenever wine32 is installed, so there even 64-bit programs fail through it. On such a
# machine Wine is started through its 64-bit loader directly, in a prefix made by that loader,
# and 32-bit Windows programs cannot run at all.
#
# Environment: WAYFARER_NO_I386=1 treats the machine as one that runs no 32-bit code, so that the
# 64-bit-only path can be exercised on any machine.

# The exit status that wine-run and xvfb-wine-run give a 32-bit program they cannot start on this
# machine. ctest reports a test that ends with it as skipped, never as passed or failed.
WAYFARER_SKIP_STATUS=77

# A complete i386 Linux program, 93 bytes: an ELF header, one loadable segment, and the code
# "xor ebx,ebx; mov eax,1; int 0x80", which exits with status 0. It serves where the machine
# has no i386 program installed yet (libc6:i386 comes with wine32).
_wayfarer_write_i386_probe() {
    printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'       # ident: 32-bit, LE
    printf '\002\000\003\000\001\000\000\000'                               # EXEC, i386, v1
    printf '\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000' # entry, phoff
    printf '\064\000\040\000\001\000\000\000\000\000\000\000'               # sizes, 1 phdr
    printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010' # LOAD at 0x8048000
    printf '\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000' # 93 bytes, R+X
    printf '\061\333\270\001\000\000\000\315\200'                           # exit(0)
}

# Answers whether this machine runs 32-bit (i386) programs; the answer is kept for the rest of
# the process and handed to child processes through WAYFARER_I386.
wayfarer_runs_i386() {
    if [ "${WAYFARER_NO_I386:-}" = 1 ]; then
        return 1
    fi
    case "${WAYFARER_I386:-}" in
        yes) return 0 ;;
        no) return 1 ;;
    esac
    local verdict=no
    if [ -x /lib/ld-linux.so.2 ]; then
        /lib/ld-linux.so.2 --version >/dev/null 2>&1 && verdict=yes
    else
        # The probe lives in the build tree: /tmp may be mounted noexec, which would read as "no".
        local dir probe
        dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build"
        mkdir -p "$dir" 2>/dev/null || dir="${TMPDIR:-/tmp}"
        probe=$(mktemp "$dir/.i386-probe.XXXXXX") || return 1
        _wayfarer_write_i386_probe >"$probe" && chmod +x "$probe" &&
            "$probe" >/dev/null 2>&1 && verdict=yes
        rm -f "$probe"
    fi
    export WAYFARER_I386=$verdict
    [ "$verdict" = yes ]
}

# The one line that says what kind of machine this is and what follows from it.
wayfarer_machine_line() {
    if wayfarer_runs_i386; then
        echo "machine: this kernel runs 32-bit (i386) programs, so the 32-bit Windows builds run under Wine"
    elif [ "${WAYFARER_NO_I386:-}" = 1 ]; then
        echo "machine: treated as running no 32-bit (i386) programs (WAYFARER_NO_I386=1): 32-bit Windows programs are built and checked but not run"
    else
        echo "machine: this kernel runs no 32-bit (i386) programs (\"Exec format error\"): 32-bit Windows programs are built and checked but not run"
    fi
}

# The reason a skipped test gives.
wayfarer_no_i386_reason() {
    if [ "${WAYFARER_NO_I386:-}" = 1 ]; then
        echo "WAYFARER_NO_I386=1 treats this machine as one whose kernel runs no 32-bit code"
    else
        echo "this machine's kernel runs no 32-bit (i386) code"
    fi
}

# Prints the bitness of a Windows program (32 or 64) from its PE header; nothing for a file that
# is not one.
wayfarer_pe_bits() {
    local file=$1 pe machine
    [ -f "$file" ] || return 1
    # The PE header's offset sits at 0x3c; its machine field follows the 4-byte signature.
    pe=$(od -An -tu4 -j60 -N4 "$file" 2>/dev/null | tr -d ' ') || return 1
    [ -n "$pe" ] || return 1
    [ "$(od -An -c -j"$pe" -N2 "$file" 2>/dev/null | tr -d ' ')" = PE ] || return 1
    machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$file" 2>/dev/null | tr -d ' ')
    case "$machine" in
        014c) echo 32 ;;
        8664 | aa64) echo 64 ;;
        *) return 1 ;;
    esac
}

# Ends the calling script with the skip status if PROGRAM is a 32-bit Windows program that this
# machine cannot run; returns otherwise.
wayfarer_skip_if_unrunnable() {
    local tool=$1 program=$2
    if [ "$(wayfarer_pe_bits "$program")" = 32 ] && ! wayfarer_runs_i386; then
        printf '%s: cannot run %s: it is a 32-bit Windows program, and %s\n' \
            "$tool" "$(basename "$program")" "$(wayfarer_no_i386_reason)" >&2
        exit "$WAYFARER_SKIP_STATUS"
    fi
}

# The kind of Wine prefix this machine makes and needs: "wow64" runs 32- and 64-bit programs,
# "win64" only 64-bit ones.
wayfarer_wine_kind() {
    if wayfarer_runs_i386; then echo wow64; else echo win64; fi
}

# The loader that starts Windows programs on this machine, and the matching server: Debian's
# wine and wineserver wrappers pick the 32-bit ones whenever wine32 is installed.
wayfarer_wine_loader() {
    if wayfarer_runs_i386 || [ ! -x /usr/lib/wine/wine64 ]; then echo wine; else echo /usr/lib/wine/wine64; fi
}
wayfarer_wineserver_path() {
    if wayfarer_runs_i386 || [ ! -x /usr/lib/wine/wineserver64 ]; then
        echo wineserver
    else
        echo /usr/lib/wine/wineserver64
    fi
}
wayfarer_wine() { "$(wayfarer_wine_loader)" "$@"; }
wayfarer_wineserver() { "$(wayfarer_wineserver_path)" "$@"; }

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    if [ "${1:-}" = --runs-i386 ]; then
        wayfarer_runs_i386
        exit $?
    fi
    wayfarer_machine_line
    wayfarer_runs_i386
fi
