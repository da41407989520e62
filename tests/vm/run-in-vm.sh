#!/usr/bin/env bash
# Runs a command inside an emulated x86-64 Debian guest (qemu, software
# emulation: no KVM needed) whose kernel executes 32-bit x86 code, for hosts
# whose kernel cannot (IA-32 emulation off), so that 32-bit Wine runs. The
# guest's root is the host's own userland, shared read-only; the build
# folder is shared writable at the same path. The command runs in the
# current folder with the caller's exported environment; its output comes
# back on standard output and its exit status is this script's.
#
# usage: run-in-vm.sh COMMAND [ARGS...]
#   e.g. cd build && ../tests/vm/run-in-vm.sh ctest -R svc_history_log
# environment:
#   VK_BUILD_DIR   the build folder (default: the clone's build/); the guest's
#                  kernel and initramfs are cached in its vm/ folder
#   VK_VM_MEMORY   guest memory (default 12G; only what is used is taken)
#   VK_VM_CPUS     guest processors (default: the host's)
# One guest at a time per build folder; guests of other build folders can
# run beside it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${VK_BUILD_DIR:-$root/build}" && pwd)
vm="$build/vm"
job="$vm/job"

# The guest must not inherit what belongs to the host's session.
not_forwarded='^(HOME|HOSTNAME|PWD|OLDPWD|SHLVL|_|TMPDIR|DISPLAY|XAUTHORITY|WAYLAND_DISPLAY|DBUS_SESSION_BUS_ADDRESS|XDG_RUNTIME_DIR|SSH_.*|TERM|LANG|LANGUAGE|LC_.*)$'

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
            [[ $name =~ $not_forwarded ]] || printf 'export %s=%q\n' "$name" "${!name}"
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
    local cpus=${VK_VM_CPUS:-$(nproc)} status=0
    : > "$vm/output"
    # -nodefaults: no emulated display, network or disks, which only slow
    # the boot. Multi-threaded TCG gives each guest processor a host thread.
    # smap=off: qemu 7.2's emulated IRET reads a 32-bit program's stack
    # with the kernel's rights, so with SMAP on, the IRET by which Wine
    # returns to 32-bit code faults (wineboot dies at once).
    qemu-system-x86_64 -nodefaults -no-user-config -no-reboot \
        -accel tcg,thread=multi -cpu max,smap=off -smp "$cpus" -m "${VK_VM_MEMORY:-12G}" \
        -display none \
        -kernel "$vm/vmlinuz" -initrd "$vm/initrd" \
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

main() {
    [ $# -gt 0 ] || { echo "usage: run-in-vm.sh COMMAND [ARGS...]" >&2; exit 2; }
    case $build in *[[:space:]]*) echo "run-in-vm: the build folder's path must have no blanks" >&2; exit 2 ;; esac
    check_tools
    "$here/prepare-guest.sh" "$vm"
    exec 9>"$vm/lock"
    flock -n 9 || { echo "run-in-vm: waiting for the other guest of $build to end" >&2; flock 9; }
    write_job "$@"
    rm -rf "$vm/tmp"
    boot_guest || { echo "run-in-vm: qemu failed (guest's console: $vm/console.log)" >&2; exit 125; }
    [ -f "$job/status" ] ||
        { echo "run-in-vm: the guest ended without running the command (its console: $vm/console.log)" >&2; exit 125; }
    exit "$(cat "$job/status")"
}

main "$@"
