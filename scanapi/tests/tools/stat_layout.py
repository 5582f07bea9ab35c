#!/usr/bin/env python3
"""Independent reader of a scanner statistics file; exits non-zero when a check fails.

usage: stat_layout.py new FILE SERIAL | runs FILE N | foreign FILE OLDFILE
"""
import struct
import sys

HEADER = "<iiii11s32s32s32s20s68sii8s"
RECORD = "<24s24s6i2i5i32i3i4i4i256i64i"
BLOCK = 227 + 5 * 1552


def text(b):
    return b.split(b"\0", 1)[0].decode("latin-1")


def header(data, at=0):
    return struct.unpack_from(HEADER, data, at)


def record(data, k, at=0):
    return struct.unpack_from(RECORD, data, at + 227 + k * 1552)


def check(cond, what):
    if not cond:
        print("FAIL:", what)
        sys.exit(1)


def main():
    mode, path = sys.argv[1], sys.argv[2]
    data = open(path, "rb").read()
    assert struct.calcsize(HEADER) == 227 and struct.calcsize(RECORD) == 1552
    h = header(data)
    check(h[0] == BLOCK and h[1] == 4 and h[3] == 915, "header words %r" % (h[:4],))
    check(text(h[4]) == "2009:07:11", "api date")
    check(h[12] == b"\0" * 8, "reserved tail")
    if mode == "new":
        check(len(data) == BLOCK, "size %d" % len(data))
        check(text(h[9]) == sys.argv[3], "serial %r" % text(h[9]))
        check(text(record(data, 0)[0]) != "", "record 0 InitTime")
        for k in range(1, 5):
            check(all(b == 0 for b in data[227 + k * 1552:227 + (k + 1) * 1552]), "record %d empty" % k)
    elif mode == "runs":
        # Records 1..4 hold the InitTimes given on the command line, in slot order.
        want = sys.argv[3:]
        for k in range(1, 5):
            got = text(record(data, k)[0])
            check(got == want[k - 1], "record %d InitTime %r, want %r" % (k, got, want[k - 1]))
        r0 = record(data, 0)
        check(r0[6] == r0[2] + r0[3] + r0[4] + r0[5], "record 0 TotalImages is the sum")
    elif mode == "foreign":
        old = open(sys.argv[3], "rb").read()
        check(len(data) == BLOCK + len(old), "size %d" % len(data))
        check(data[BLOCK:] == old, "old bytes moved unchanged")
    print("ok")


main()
