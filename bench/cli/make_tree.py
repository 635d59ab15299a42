#!/usr/bin/env python3
"""Makes the folder trees that compare.sh packs into tar, zip and Vorpex archives.

  make_tree.py listing DIR   DIR/L: 1,000,000 files of 8 bytes in 1,000 folders
  make_tree.py small DIR     DIR/S: 20,000 files of 1-64 KiB in 100 folders (fixed seed)
  make_tree.py big DIR       DIR/B: two files of 1 GiB

The contents are pseudo-random, so that no tool gains by compressing, and the same on every run.
"""
import os
import random
import sys


def listing(root):
    payload = b"12345678"
    for d in range(1000):
        folder = os.path.join(root, "L", "d%04d" % d)
        os.makedirs(folder)
        for f in range(1000):
            with open(os.path.join(folder, "f%04d" % f), "wb") as out:
                out.write(payload)


def small(root):
    rng = random.Random(20000)
    pool = rng.randbytes(64 * 1024 + 4096)
    for d in range(100):
        folder = os.path.join(root, "S", "dir%03d" % d)
        os.makedirs(folder)
        for f in range(200):
            size = rng.randint(1024, 64 * 1024)
            start = rng.randint(0, 4096)
            with open(os.path.join(folder, "file%03d.bin" % f), "wb") as out:
                out.write(pool[start:start + size])


def big(root):
    rng = random.Random(1)
    block = rng.randbytes(1 << 20)
    folder = os.path.join(root, "B")
    os.makedirs(folder)
    for name in ("one.bin", "two.bin"):
        with open(os.path.join(folder, name), "wb") as out:
            for i in range(1024):
                # Each MiB differs from the others in its first bytes.
                out.write(i.to_bytes(8, "little") + name.encode() + block[8 + len(name):])


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("listing", "small", "big"):
        sys.exit(__doc__)
    {"listing": listing, "small": small, "big": big}[sys.argv[1]](sys.argv[2])
