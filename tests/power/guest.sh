# Runs inside the machine that scripts/test-power boots (busybox sh). For each file system: the
# saves and a capture run on a disk whose every write, flush and FUA the device-mapper target
# log-writes records; then the disk is rebuilt at every crash point of each run, mounted (the
# file system recovers its journal), looked at, settled as the next start of the program does,
# and looked at again. Prints one line per run: "PASS fs run: N crash points" or FAIL with what
# broke (FAT: "MEASURED"). Each file system has four disks, in /power.conf's order: the one
# written through log-writes, a copy of it as it was formatted (the replay starts there), the
# log, and scratch space for the snapshots the checks mount.
. /power.conf
cli=verada-rede-cli
replay=verada-replay-log
export DM_DISABLE_UDEV=1
exp=/tmp/exp
mkdir -p $exp
dm() { dmsetup --noudevsync "$@" >/dev/null 2>&1; }

# The files of every run, made on the machine's own memory by the real program.
dd if=/dev/urandom of=$exp/cap.bin bs=1024 count=$capture_kib 2>/dev/null
dd if=/dev/urandom of=$exp/small.bin bs=1024 count=24 2>/dev/null
(
    export XDG_STATE_HOME=/tmp/state
    $cli export --keep-capture $exp/small.bin $exp/old.csv &&
        $cli export --keep-capture $exp/cap.bin $exp/new.csv &&
        cp $exp/old.csv $exp/app.csv &&
        $cli export --append --keep-capture $exp/cap.bin $exp/app.csv
) 2>/dev/null || echo "FAIL the expected files could not be made"

# The disks and names of file system $1; its files are under /m-$1, its journals too.
use() {
    fs=$1
    set -- $disks
    while [ "$1" != "$fs" ]; do shift 5; done
    data=$2 rdisk=$3 log=$4 cow=$5
    m=/m-$fs
    mkdir -p $m
    export HOME=$m/home XDG_STATE_HOME=$m/state
    mount_options=""
    [ $fs != vfat ] || mount_options="-o umask=077"
    runs_here=$runs
    # FAT is measured for the saves only.
    [ $fs != vfat ] || runs_here=$(echo $runs | sed 's/capture//')
}

# What each run saves, and the content its target had before and must have after.
target_of() { case $1 in capture) echo "" ;; *) echo $m/d/$1.csv ;; esac; }
old_of() { case $1 in new) echo absent ;; over | append | retry | settle) echo $exp/old.csv ;; esac; }
new_of() { case $1 in new | over) echo $exp/new.csv ;; *) echo $exp/app.csv ;; esac; }

# An append cut short by the file size limit: the target holds part of the data, the capture all
# of it, and the journal says the append was being written.
interrupted_append() {
    limit=$((($(stat -c %s "$1") + 60000) / 512))
    (ulimit -f $limit && exec $cli export --append $m/d/cap.bin "$1") 2>/dev/null
    ls $m/state/verada-rede/*.journal >/dev/null 2>&1 ||
        echo "FAIL $fs $run: the cut-short append left no journal"
}

# The run's setup (made durable before its first mark), then the run between its marks.
run_one() {
    run=$1
    target=$(target_of $run)
    mkdir -p $m/d $m/home $m/other
    mkdir -p -m 700 $m/state
    rm -f $m/d/cap.bin
    [ $run = capture ] || cp $exp/cap.bin $m/d/cap.bin
    case $run in over | append | retry | settle) cp $exp/old.csv $target ;; esac
    case $run in retry | settle) interrupted_append $target ;; esac
    # Every file the run has no business with, as it is before the run.
    sync
    find $m -type f ! -path "$m/state/*" ! -path "$m/d/cap.bin" ! -path "${target:-/none}" |
        sort | xargs -r sha1sum >$exp/$fs-$run.others
    dmsetup message lw-$fs 0 mark $run-begin
    case $run in
    new | over) $cli export $m/d/cap.bin $target ;;
    append | retry) $cli export --append $m/d/cap.bin $target ;;
    settle) $cli capture --timeout 0 --out $m/d/cap.bin; [ $? = 4 ] ;;  # finishes the append
    capture)
        verada-uhid-adapter transfer --reports $capture_reports --burst 20 --expect /dev/null &
        $cli capture --timeout 120 --out $m/d/cap.bin
        ;;
    esac >/tmp/said 2>&1 || { echo "FAIL $fs $run: the command failed"; sed 's/^/    /' /tmp/said; }
    wait
    dmsetup message lw-$fs 0 mark $run-end
    sync
    dmsetup message lw-$fs 0 mark $run-synced
    # What the capture received is what it must keep (whether the guest, slowed down by the
    # emulation, received every report is scripts/test-kernel's business).
    [ $run != capture ] || cp $m/d/cap.bin $exp/$fs-capture.bin
}

# What the file is: absent, old, new, or other.
content() {
    if [ ! -e "$1" ]; then
        echo absent
    elif [ "$2" != absent ] && cmp -s "$1" "$2"; then
        echo old
    elif cmp -s "$1" "$3"; then
        echo new
    else
        echo other
    fi
}

# Looks at the disk mounted on $m as the cut left it ($1: after the command had ended, or not).
look() {
    ended=$1
    broken=""
    said() { broken="$broken; $*"; }
    journal=$(ls $m/state/verada-rede/*.journal 2>/dev/null)
    if [ $run = capture ]; then
        size=$(stat -c %s $m/d/cap.bin 2>/dev/null || echo 0)
        head -c $size $exp/$fs-capture.bin | cmp -s - $m/d/cap.bin 2>/dev/null ||
            [ $size = 0 ] || said "the capture is not the transfer's first $size bytes"
        [ $ended = no ] || cmp -s $m/d/cap.bin $exp/$fs-capture.bin ||
            said "the capture lacks reports synced before the cut ($size bytes)"
    else
        old=$(old_of $run)
        new=$(new_of $run)
        now=$(content $target $old $new)
        cmp -s $m/d/cap.bin $exp/cap.bin && capture=intact || capture=gone
        [ -e $m/d/cap.bin ] && [ $capture = gone ] && said "the capture was changed"
        # Once the command has ended, what it reported done is on the disk as it left it.
        [ $ended = no ] || [ $now = new ] || said "the command had ended, but the target is $now"
        case $now in
        other) [ -n "$journal" ] && [ $capture = intact ] && [ $run != new ] && [ $run != over ] ||
            said "the target is neither old nor new ($(stat -c %s $target) bytes)" ;;
        absent) [ $old = absent ] || said "the target is missing" ;;
        esac
        before="target $now ($(stat -c %s $target 2>/dev/null) bytes), capture $capture, journal ${journal:-none}"
        # The next start settles what the cut left.
        $cli capture --timeout 0 --out $m/d/cap.bin >/tmp/settle-$fs 2>&1
        [ $? = 4 ] || said "the settle failed"
        now=$(content $target $old $new)
        cmp -s $m/d/cap.bin $exp/cap.bin && capture=intact || capture=gone
        case $now/$capture in
        new/gone) ;;
        new/intact) said "after the settle the data is both in the target and still unsaved" ;;
        old/intact | absent/intact) [ $ended = no ] || said "the save had ended, but it was undone" ;;
        */gone) said "after the settle the data is lost (target $now, capture gone)" ;;
        *) said "after the settle the target is neither old nor new ($(stat -c %s $target) bytes;" \
            "old $(stat -c %s $old), new $(stat -c %s $new))" ;;
        esac
        [ -z "$broken" ] || said "before the settle: $before; the settle said:" \
            "$(tr '\r' '\n' </tmp/settle-$fs | grep -v 'completed (' | tr '\n' ' ')"
        ls $m/state/verada-rede/*.journal >/dev/null 2>&1 && said "a journal is left after the settle"
        ls -a $m/d | grep -q 'vr-new' && said "a replacement is left after the settle"
    fi
    [ ! -s $exp/$fs-$run.others ] || (cd / && sha1sum -c -s $exp/$fs-$run.others) ||
        said "a file the run did not concern changed"
    [ -z "$broken" ] || echo "    $label:${broken#;}" >>$exp/$fs-broken
}

# Rebuilds the disk at every crash point from mark $1 to mark $2 and looks at each.
replay_range() {
    $replay points $log $1 $2 $torn_here >$exp/$fs-points || return 1
    while read -r index offset seed label; do
        $replay apply $log $rdisk $at $at_offset $index
        at=$index
        at_offset=$offset
        dm create snap-$fs --table "0 $(blockdev --getsz $rdisk) snapshot $rdisk $cow N 8" ||
            { echo "    $label: no snapshot" >>$exp/$fs-broken; continue; }
        [ $seed = 0 ] || $replay torn $log /dev/mapper/snap-$fs $index $offset $seed
        if mount -t $fs $mount_options /dev/mapper/snap-$fs $m 2>/tmp/mount-$fs; then
            look $3
            umount $m
        else
            echo "    $label: does not mount: $(cat /tmp/mount-$fs)" >>$exp/$fs-broken
        fi
        dm remove snap-$fs
        points=$((points + 1))
    done <$exp/$fs-points
}

# Every crash point of every run on file system $1.
replay_all() {
    use $1
    # FAT is only measured: the partial cuts, which a file system without a journal cannot
    # survive anyway, are left out there.
    torn_here=$torn
    [ $fs != vfat ] || torn_here=0
    at=start at_offset=0
    for run in $runs_here; do
        started=$(cut -d. -f1 /proc/uptime)
        target=$(target_of $run)
        : >$exp/$fs-broken
        points=0
        replay_range $run-begin $run-end no && replay_range $run-end $run-synced yes ||
            echo "    the log has no marks for this run" >>$exp/$fs-broken
        broken=$(grep -c . $exp/$fs-broken)
        took="$(($(cut -d. -f1 /proc/uptime) - started)) s"
        if [ $fs = vfat ]; then
            echo "MEASURED $fs $run: $broken of $points crash points broken ($took)"
            head -n 5 $exp/$fs-broken
        elif [ $broken = 0 ]; then
            echo "PASS $fs $run: $points crash points ($took)"
        else
            echo "FAIL $fs $run: $broken of $points crash points broken"
            head -n 8 $exp/$fs-broken
        fi
    done
}

# The runs, one file system after the other (one adapter for the captures); then the replays
# of all file systems at once, each on its own disks.
for fs in $filesystems; do
    use $fs
    dm create lw-$fs --table "0 $(blockdev --getsz $data) log-writes $data $log" ||
        { echo "FAIL $fs: no log-writes device"; continue; }
    mount -t $fs $mount_options /dev/mapper/lw-$fs $m || { echo "FAIL $fs: does not mount"; continue; }
    for run in $runs_here; do run_one $run; done
    umount $m
    dm remove lw-$fs
done
for fs in $filesystems; do
    replay_all $fs >$exp/$fs-report 2>&1 &
done
wait
for fs in $filesystems; do cat $exp/$fs-report; done
