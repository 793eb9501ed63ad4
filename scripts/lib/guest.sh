# A small Linux machine under QEMU for the tests that need the real kernel: Debian's kernel, an
# initramfs of busybox and the programs and modules a test names, booted with KVM where it works
# and TCG otherwise. Sourced by scripts/test-kernel and scripts/test-power:
#
#   guest_setup NAME PACKAGE...     installs what is missing (qemu, the kernel, busybox, cpio and
#                                   the test's own), makes $guest_work and $guest_root
#   guest_add_programs FILE...      copies programs into /bin, with the libraries they load
#   guest_add_modules MODULE...     copies modules and what they depend on; /init loads them
#   guest_boot SECONDS [QEMU ARG...]  packs the initramfs, boots it; /init runs /scenarios,
#                                   whose output (without the kernel's) is in $guest_work/log
#   guest_report NAME PASSES        prints the log, ends with 1 unless it reached its end with
#                                   no FAIL line and PASSES lines beginning with PASS
# $guest_work is removed when the script ends.

guest_setup() {
    guest_name=$1
    shift
    local missing=() p
    for p in qemu-system-x86 linux-image-amd64 busybox-static cpio "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "$guest_name: installing ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
            "${missing[@]}" >/dev/null
    fi
    guest_kernel=$(find /boot -maxdepth 1 -name 'vmlinuz-*-amd64' | sort -V | tail -n1)
    [ -n "$guest_kernel" ] || { echo "$guest_name: no kernel in /boot" >&2; exit 1; }
    guest_version=${guest_kernel#/boot/vmlinuz-}
    guest_moddir=/lib/modules/$guest_version
    guest_work=$(mktemp -d "${TMPDIR:-/tmp}/verada-guest-XXXXXX")
    guest_qemu=""
    trap guest_cleanup EXIT
    guest_root=$guest_work/root
    mkdir -p "$guest_root"/{bin,proc,sys,dev,tmp,etc,lib/modules}
    cp /bin/busybox "$guest_root/bin/busybox"
    : >"$guest_root/modules"
    echo 'root:x:0:0::/:/bin/sh' >"$guest_root/etc/passwd"
    echo 'nobody:x:65534:65534::/:/bin/sh' >>"$guest_root/etc/passwd"
    cat >"$guest_root/init" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mount -t tmpfs tmp /tmp
chmod 1777 /tmp
echo VERADA-GUEST-INIT
for module in $(cat /modules); do
    insmod "/lib/modules/$module" || echo "FAIL insmod $module"
done
sh /scenarios
echo VERADA-GUEST-END
poweroff -f
EOF
    chmod +x "$guest_root/init"
}

guest_cleanup() {
    [ -z "$guest_qemu" ] || kill "$guest_qemu" 2>/dev/null || true
    rm -rf "$guest_work"
}

guest_add_programs() {
    local program lib
    for program in "$@"; do
        cp -L "$program" "$guest_root/bin/"
        for lib in $(ldd "$program" | grep -o '/[^ ]*'); do
            mkdir -p "$guest_root$(dirname "$lib")"
            cp -L "$lib" "$guest_root$lib"
        done
    done
}

# Each module after what modules.dep says it needs.
guest_add_modules() {
    local name path dep
    for name in "$@"; do
        path=$(awk -F: -v m="/$name.ko" 'index($1, m) == length($1) - length(m) + 1 { print $1; exit }' \
            "$guest_moddir/modules.dep")
        [ -n "$path" ] || { echo "$guest_name: no module $name in $guest_moddir" >&2; exit 1; }
        for dep in $(awk -F: -v p="$path" '$1 == p { print $2 }' "$guest_moddir/modules.dep" | tr ' ' '\n' | tac) "$path"; do
            grep -qx "$(basename "$dep")" "$guest_root/modules" && continue
            cp "$guest_moddir/$dep" "$guest_root/lib/modules/"
            basename "$dep" >>"$guest_root/modules"
        done
    done
}

guest_boot() {
    local seconds=$1 accel=tcg
    shift
    (cd "$guest_root" && find . | cpio -o -H newc --quiet) | gzip -1 >"$guest_work/initrd.gz"
    _guest_start() {
        timeout "$seconds" qemu-system-x86_64 -accel "$1" -m 768M -smp 2 -nographic -no-reboot \
            -nic none -kernel "$guest_kernel" -initrd "$guest_work/initrd.gz" \
            -append "console=ttyS0 quiet panic=-1 rdinit=/init" "${@:2}" \
            >"$guest_work/console" 2>&1 </dev/null &
        guest_qemu=$!
    }
    guest_started=$(date +%s)
    if [ -r /dev/kvm ] && [ -w /dev/kvm ]; then
        # KVM fails on some hosts (nested virtualisation): without a sign of /init soon, use TCG.
        _guest_start kvm "$@"
        for _ in $(seq 50); do
            grep -q VERADA-GUEST-INIT "$guest_work/console" 2>/dev/null && break
            kill -0 "$guest_qemu" 2>/dev/null || break
            sleep 0.2
        done
        if grep -q VERADA-GUEST-INIT "$guest_work/console" 2>/dev/null; then
            accel=kvm
        else
            kill "$guest_qemu" 2>/dev/null || true
            wait "$guest_qemu" 2>/dev/null || true
        fi
    fi
    [ "$accel" = kvm ] || _guest_start tcg "$@"
    wait "$guest_qemu" || true
    guest_qemu=""
    guest_accel=$accel
    # The console without carriage returns, terminal escapes and what the kernel said before.
    tr -d '\r' <"$guest_work/console" |
        sed 's/\x1bc//g; s/\x1b\[[0-9;?]*[a-zA-Z]//g; s/.*VERADA-GUEST-INIT/VERADA-GUEST-INIT/' \
            >"$guest_work/log"
}

guest_report() {
    local name=$1 passes=$2
    sed -n '/VERADA-GUEST-INIT/,/VERADA-GUEST-END/p' "$guest_work/log" | { grep -v '^VERADA-GUEST' || true; } | sed 's/^/  /'
    echo "$name: $guest_version under QEMU ($guest_accel), $(($(date +%s) - guest_started)) s"
    if grep -q '^FAIL' "$guest_work/log" || ! grep -q VERADA-GUEST-END "$guest_work/log" ||
        [ "$(grep -c '^PASS' "$guest_work/log")" -ne "$passes" ]; then
        echo "$name: FAILED" >&2
        tail -n 40 "$guest_work/log" >&2
        exit 1
    fi
}
