#!/bin/bash
# The guest's init (process 1), started by the initramfs on a root that is
# the host's own userland (read-only below a tmpfs overlay): the same Wine,
# Xvfb, fonts, CMake and scripts at the same paths as on the host. It mounts
# the shared build folder writable at its host path, runs the job that
# run-in-vm.sh wrote there, sends the job's output to the host through a
# virtio console port, leaves the exit status beside the job, and powers off.
#
# kernel command line: vk.share=PATH (the build folder) vk.job=DIR (in it)
set -uo pipefail
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

say() { echo "guest-init: $*" > /dev/ttyS0; }

power_off() {
    sync
    echo o > /proc/sysrq-trigger
    sleep 60
}

kernel_argument() {
    local word
    for word in $(cat /proc/cmdline); do
        case $word in "$1"=*) echo "${word#"$1"=}"; return ;; esac
    done
}

# A fresh /run: the host's sockets and pid files there mean nothing in the
# guest. /tmp stays the host's (writable through the overlay): a clone or
# build folder may live there.
mount_local_filesystems() {
    mkdir -p /dev/pts /dev/shm
    mount -t devpts -o gid=5,mode=620 devpts /dev/pts
    mount -t tmpfs -o mode=1777 shm /dev/shm
    # What udev would make: bash's process substitution needs /dev/fd.
    ln -sfn /proc/self/fd /dev/fd
    ln -sfn /proc/self/fd/0 /dev/stdin
    ln -sfn /proc/self/fd/1 /dev/stdout
    ln -sfn /proc/self/fd/2 /dev/stderr
    mount -t tmpfs -o mode=755 run /run
    busybox ip link set lo up 2>/dev/null || true
}

# The build folder is the host's (9p, read below) under a tmpfs overlay,
# for two reasons: Wine makes its server's socket under TMPDIR, and 9p
# cannot hold a socket; and run-in-prefix.sh hard-links the template prefix
# (in the build folder) into each test's copy (under TMPDIR), so both must
# be on one filesystem. tmpfs is also much faster than 9p under emulation.
# What the command leaves there is copied back to the host by save_results.
# cache=loose: nobody changes the host's folder while the guest runs.
# xino=on: with layers on two filesystems, the overlay otherwise gives a
# file the st_dev of the layer it lies on and a folder its own st_dev.
# Wine finds the drive of a device file (a test's FAT image, by which a
# drive reports FAT32) by walking up its folders while st_dev stays the
# same, so it would stop at the image's own folder and call the drive NTFS.
mount_build_folder() {
    mkdir -p /vk/share /vk/upper "$1" &&
        mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,cache=loose vkbuild /vk/share &&
        mount -t tmpfs -o mode=755 build-upper /vk/upper &&
        mkdir -p /vk/upper/data /vk/upper/work &&
        mount -t overlay -o lowerdir=/vk/share,upperdir=/vk/upper/data,workdir=/vk/upper/work,xino=on build "$1"
}

# Copies what the command wrote (test logs, pictures) back to the host's
# build folder: regular files, folders and links, not the overlay's marks of
# deleted files (deletions stay in the guest), not the runner's own folder
# vm/ (the status goes there directly), not the Wine prefixes (the
# tests' and the demo PC: hundreds of megabytes of no use to a host that
# cannot run them).
save_results() {
    (cd /vk/upper/data &&
        find . \( -path ./vm -o -path "./wine-template*" -o -path "./demo-pc*" \) -prune -o \
             \( -type f -o -type d -o -type l \) -print0 |
        tar --null --no-recursion -T - -cf - | tar -C /vk/share -xf -)
}

# The port that qemu connects to the host's standard output; it is not a
# terminal, so the bytes arrive unchanged.
output_port() {
    local port
    for port in /sys/class/virtio-ports/*; do
        [ "$(cat "$port/name" 2>/dev/null)" = vk.out ] && { echo "/dev/${port##*/}"; return; }
    done
}

main() {
    local share job port status
    say "started"
    mount_local_filesystems
    say "local filesystems mounted"
    share=$(kernel_argument vk.share)
    job=$(kernel_argument vk.job)
    mount_build_folder "$share" || { say "cannot mount the build folder $share"; power_off; }
    say "build folder mounted"
    port=$(output_port)
    [ -n "$port" ] || { say "no output port"; power_off; }
    export HOME=/root LC_ALL=ja_JP.UTF-8
    say "running the job on $port"
    bash "$job/run" </dev/null >"$port" 2>&1
    status=$?
    save_results || say "could not copy every result back to the host"
    # The status goes straight to the host's folder, after the results.
    job=/vk/share/${job#"$share"/}
    echo "$status" > "$job/status.new" && mv "$job/status.new" "$job/status"
    umount "$share" /vk/share
    power_off
}

main
