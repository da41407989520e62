# Sourced: tells whether this machine can execute 32-bit x86 programs, which
# 32-bit Wine needs, and how much slower the emulated guest (tests/vm/) runs
# them where it cannot. Some kernels are built or booted with IA-32
# emulation off (ia32_emulation=off): there every 32-bit program, Wine's
# loader among them, fails with "Exec format error".
ia32_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Wine's own 32-bit loader is the program the tests need, so ask it directly
# (after install-deps.sh has installed wine32).
can_run_32bit() {
    /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Making the template prefix takes about this long on a 2-core machine that
# runs 32-bit code itself (measured: 11 to 13 s).
native_template_seconds=13

# Makes the template prefix DIR, timed, and prints how many times longer it
# took than natively, rounded up, 1 at least: the factor for every test's
# time limit and every wait of the GUI driver. What it measured goes to
# standard error.
measure_slowdown() {
    local start end milliseconds native=$((native_template_seconds * 1000)) factor
    start=$(date +%s%N)
    "$ia32_root/tests/wine/make-template-prefix.sh" "$1" >&2
    end=$(date +%s%N)
    milliseconds=$(((end - start) / 1000000))
    factor=$(((milliseconds + native - 1) / native))
    [ "$factor" -ge 1 ] || factor=1
    echo "slowdown: the template prefix took $((milliseconds / 1000)) s here against" \
        "${native_template_seconds} s where 32-bit code runs natively: time limits and waits times $factor" >&2
    echo "$factor"
}
