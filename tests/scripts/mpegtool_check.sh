#!/bin/sh
# What mpegtool says and its exit status, case by case:
#   sh mpegtool_check.sh CASE MPEGTOOL WORK SEED
# WORK is a scratch folder made afresh; SEED is a small valid MPEG-1 stream
# (5 frames of 32 x 32, 3085 bytes each as PPM).  Exit 0 when the case
# holds, 77 when it cannot be set up here, 1 otherwise.
set -u
case_name=$1 tool=$2 work=$3 seed=$4
rm -rf "$work" && mkdir -p "$work" || exit 1

# Runs mpegtool with the arguments; fails unless it exits with `want` and
# its stderr holds `said`.
expect() {
    want=$1 said=$2
    shift 2
    "$tool" "$@" > "$work/out.txt" 2> "$work/err.txt"
    got=$?
    cat "$work/out.txt" "$work/err.txt"
    if [ "$got" -ne "$want" ]; then echo "exit status $got, not $want"; exit 1; fi
    if ! grep -qF -- "$said" "$work/err.txt"; then echo "stderr lacks: $said"; exit 1; fi
}

case $case_name in
random-bytes)
    # Bytes without a sequence header decode to no picture.
    python3 -c "import random, sys; r = random.Random(30); sys.stdout.buffer.write(bytes(r.randrange(256) for _ in range(65536)))" \
        > "$work/random.mpg" || exit 1
    expect 1 "random.mpg holds no picture of an MPEG-1 or MPEG-2 video stream" decode "$work/random.mpg" --out "$work/frames"
    ;;
too-large)
    # A sequence header of 4000 x 4000 pixels, then one picture header.
    printf '\000\000\001\263\372\017\240\023\377\377\340\030\000\000\001\270\000\000\000\000\000\000\001\000\000\017\377\370\000\000\001\267' \
        > "$work/large.mpg"
    expect 1 "picture size 4000x4000 not supported (at most 1920x1152)" decode "$work/large.mpg" --out "$work/frames"
    grep -qF "large.mpg cannot be decoded further; 0 frames written" "$work/err.txt" || exit 1
    ;;
pipe)
    mkfifo "$work/in.m2v" || exit 1
    expect 1 "It is a named pipe, not a file" decode "$work/in.m2v" --out "$work/frames"
    ;;
command-line)
    # Counts below 0 and sizes that do not fit an int are refused, and
    # nothing is written.
    expect 2 'encode: --count takes a number of frames, 0 or more, not "-5"' \
        encode --format mpeg1 --size 32x32 --count -5 --in "$work" "$work/out.mpg"
    expect 2 'encode: --size takes WIDTHxHEIGHT in pixels, not "4294967396x1"' \
        encode --format mpeg1 --size 4294967396x1 --count 5 --in "$work" "$work/out.mpg"
    test ! -e "$work/out.mpg" || { echo "out.mpg was written"; exit 1; }
    ;;
full-disk)
    # A file system of two pages takes two frames.
    mkdir "$work/small"
    unshare -m mount -t tmpfs tmpfs "$work/small" 2> /dev/null || { echo "no file system can be mounted here"; exit 77; }
    unshare -m sh -c 'mount -t tmpfs -o size=8k tmpfs "$1" && exec "$2" decode "$3" --out "$1/frames"' \
        sh "$work/small" "$tool" "$seed" > "$work/out.txt" 2> "$work/err.txt"
    got=$?
    cat "$work/out.txt" "$work/err.txt"
    test "$got" -eq 1 || { echo "exit status $got, not 1"; exit 1; }
    grep -qF "mpeg0002.ppm: No space left on device; 2 frames written" "$work/err.txt" || exit 1
    ;;
file-size-limit)
    # Past the file size limit, with its signal ignored, a write fails
    # with the system's reason.
    (trap '' XFSZ; ulimit -f 4; exec "$tool" decode "$seed" --out "$work/frames") > "$work/out.txt" 2> "$work/err.txt"
    got=$?
    cat "$work/out.txt" "$work/err.txt"
    test "$got" -eq 1 || { echo "exit status $got, not 1"; exit 1; }
    grep -qF "mpeg0000.ppm: File too large; 0 frames written" "$work/err.txt" || exit 1
    ;;
*)
    echo "no case $case_name"
    exit 1
    ;;
esac
