#!/usr/bin/env bash
# Runs a command inside an emulated x86-64 Debian guest (qemu: KVM where
# /dev/kvm answers, software emulation otherwise) whose kernel executes
# 32-bit x86 code, for hosts whose kernel cannot (IA-32 emulation off), so
# that 32-bit Wine runs. The
# guest's root is the host's own userland, shared read-only; the build
# folder is shared writable at the same path. The command runs in the
# current folder with the caller's PATH and the variables of the toolkit
# and of Wine (VK_*, WINE*, CTEST_*; no secret of the release's signing);
# its output comes back on standard output and its exit status is this
# script's.
#
# usage: run-in-vm.sh COMMAND [ARGS...]
#   e.g. cd build && ../tests/vm/run-in-vm.sh ctest -R svc_history_log
# environment:
#   VK_BUILD_DIR   the build folder (default: the clone's build/)
#   VK_GUEST_CACHE where the guest's kernel and initramfs are kept between
#                  builds and clones (default /var/cache/vk-test-guest, or
#                  ~/.cache/vk-test-guest for a user who cannot write there)
#   VK_VM_MEMORY   guest memory (default 12G, half of a 24 GiB machine: the
#                  prefixes on the guest's tmpfs take 2 to 3 GiB, and only
#                  what is used is taken)
#   VK_VM_ACCEL    kvm or tcg (default: kvm where it works)
#   VK_VM_CPUS     guest processors (default: the host's)
#   VK_VM_LOCK     lock file that lets one guest run at a time on this
#                  machine (default /tmp/vk-vm-runner.lock); others wait
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${VK_BUILD_DIR:-$root/build}" && pwd)
vm="$build/vm"
job="$vm/job"

# What the guest's job inherits: what the build, the tests and Wine read.
# Nothing of the host's session, of CI or of the release's signing.
forwarded='^(PATH|VK_.*|WINE.*|CTEST_.*|UI_WAIT_SCALE)$'
not_forwarded='^VK_SIGN_'

guest_cache() {
    if [ -n "${VK_GUEST_CACHE:-}" ]; then
        echo "$VK_GUEST_CACHE"
    elif mkdir -p /var/cache/vk-test-guest 2>/dev/null && [ -w /var/cache/vk-test-guest ]; then
        echo /var/cache/vk-test-guest
    else
        echo "${XDG_CACHE_HOME:-$HOME/.cache}/vk-test-guest"
    fi
}

# KVM where the host lends it (a guest then runs at nearly the host's
# speed); qemu's software emulation otherwise. A /dev/kvm that opens is not
# enough: on a virtual machine without nested virtualisation (no vmx or svm
# among the processor's flags) qemu starts under it and the guest never
# boots.
accelerator() {
    if [ -n "${VK_VM_ACCEL:-}" ]; then
        echo "$VK_VM_ACCEL"
    elif grep -qwE 'vmx|svm' /proc/cpuinfo && [ -r /dev/kvm ] && [ -w /dev/kvm ] &&
        echo quit | qemu-system-x86_64 -accel kvm -machine none -nodefaults -display none \
            -monitor stdio >/dev/null 2>&1; then
        echo kvm
    else
        echo tcg
    fi
}

check_tools() {
    local tool
    for tool in qemu-system-x86_64 busybox; do
        command -v "$tool" >/dev/null ||
            { echo "run-in-vm: $tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
    done
}

# The job: where to run, the environment, the command, each quoted for bash.
write_job() {
    local name
    rm -rf "$job"
    mkdir -p "$job"
    {
        for name in $(compgen -e); do
            [[ $name =~ $forwarded && ! $name =~ $not_forwarded ]] &&
                printf 'export %s=%q\n' "$name" "${!name}"
        done
        # run-in-prefix.sh hard-links the template prefix (in the build
        # folder) into each test's copy: both must be on one filesystem.
        printf 'mkdir -p %q && export TMPDIR=%q\n' "$vm/tmp" "$vm/tmp"
        printf 'cd %q || exit 125\n' "$PWD"
        printf 'exec'
        printf ' %q' "$@"
        printf '\n'
    } > "$job/run"
}

# The guest's output goes to a file that tail streams to our standard
# output: a file (unlike qemu's stdio back end) needs no terminal or stdin,
# and never truncates or overwrites where our own output is going.
boot_guest() {
    local cpus=${VK_VM_CPUS:-$(nproc)} memory=${VK_VM_MEMORY:-12G} accel cpu status=0
    accel=$(accelerator)
    # Multi-threaded TCG gives each guest processor a host thread.
    # smap=off: qemu 7.2's emulated IRET reads a 32-bit program's stack
    # with the kernel's rights, so with SMAP on, the IRET by which Wine
    # returns to 32-bit code faults (wineboot dies at once). Under KVM the
    # processor itself returns.
    case $accel in
        kvm) accel=kvm cpu=host ;;
        *) accel=tcg,thread=multi cpu=max,smap=off ;;
    esac
    echo "run-in-vm: guest: $(cat "$cache/kernel-package"), ${accel%%,*}, $cpus processors, $memory of memory"
    : > "$vm/output"
    # -nodefaults: no emulated display, network or disks, which only slow
    # the boot.
    qemu-system-x86_64 -nodefaults -no-user-config -no-reboot \
        -accel "$accel" -cpu "$cpu" -smp "$cpus" -m "$memory" \
        -display none \
        -kernel "$cache/vmlinuz" -initrd "$cache/initrd" \
        -append "console=ttyS0 panic=-1 vk.init=$here/guest-init.sh vk.share=$build vk.job=$job" \
        -serial "file:$vm/console.log" \
        -fsdev local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap \
        -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot \
        -fsdev local,id=vkbuild,path="$build",security_model=none,multidevs=remap \
        -device virtio-9p-pci,fsdev=vkbuild,mount_tag=vkbuild \
        -device virtio-serial-pci \
        -chardev file,id=out,path="$vm/output" -device virtserialport,chardev=out,name=vk.out \
        </dev/null &
    qemu_pid=$!
    # Stopping this script (a timeout, ^C) must stop the guest too.
    trap 'kill "$qemu_pid" 2>/dev/null || true' EXIT
    trap 'exit 130' INT TERM
    tail -s 0.2 -n +1 -f --pid="$qemu_pid" "$vm/output" &
    wait "$qemu_pid" || status=$?
    wait
    trap - EXIT
    return "$status"
}

# One guest at a time on the machine: emulated processors are slow, and two
# guests sharing the host's cores make each test slow enough to time out.
# The holder's build folder is named so that a waiting caller knows whom.
take_machine_lock() {
    local lock=${VK_VM_LOCK:-/tmp/vk-vm-runner.lock}
    exec 9>>"$lock"
    if ! flock -n 9; then
        echo "run-in-vm: waiting for the guest of $(cat "$lock.holder" 2>/dev/null || echo another build) to end" >&2
        flock 9
    fi
    echo "$build" > "$lock.holder"
}

main() {
    [ $# -gt 0 ] || { echo "usage: run-in-vm.sh COMMAND [ARGS...]" >&2; exit 2; }
    case $build in *[[:space:]]*) echo "run-in-vm: the build folder's path must have no blanks" >&2; exit 2 ;; esac
    check_tools
    cache=$(guest_cache)
    "$here/prepare-guest.sh" "$cache"
    mkdir -p "$vm"
    take_machine_lock
    write_job "$@"
    rm -rf "$vm/tmp"
    boot_guest || { echo "run-in-vm: qemu failed (guest's console: $vm/console.log)" >&2; exit 125; }
    [ -f "$job/status" ] ||
        { echo "run-in-vm: the guest ended without running the command (its console: $vm/console.log)" >&2; exit 125; }
    exit "$(cat "$job/status")"
}

main "$@"
