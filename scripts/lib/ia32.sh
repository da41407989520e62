# Sourced: tells whether this machine can execute 32-bit x86 programs, which
# 32-bit Wine needs. Some kernels are built or booted with IA-32 emulation
# off (ia32_emulation=off): there every 32-bit program, Wine's loader among
# them, fails with "Exec format error".

# Wine's own 32-bit loader is the program the tests need, so ask it directly
# (after install-deps.sh has installed wine32).
can_run_32bit() {
    /usr/lib/wine/wine --version >/dev/null 2>&1
}

# The emulated guest (tests/vm/) runs the tests about four times slower than
# a machine that executes 32-bit code itself (measured: the template prefix
# takes 55 s instead of 13 s), so time limits and the GUI driver's waits get
# this factor there.
guest_slowdown=3
