#!/usr/bin/env python3
"""Writes the benchmarks' mixed package: a zip of about 170 MB unpacked
(2,000 small text files in 40 folders, three 30 MB compressible DLL-like
files, one 40 MB incompressible file), the same bytes on every run.

    mixed_package.py OUT.zip [--incompressible-mb N]

--incompressible-mb N makes a package of one incompressible N MB file instead
(stored, as a release of compressed media would be)."""
import argparse
import os
import random
import shutil
import subprocess
import tempfile


def write_mixed(src):
    rnd = random.Random(1234)
    words = [bytes(rnd.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rnd.randint(2, 10))) for _ in range(3000)]
    for folder in range(40):
        d = os.path.join(src, f"module{folder:02d}", "res")
        os.makedirs(d, exist_ok=True)
        for i in range(50):
            n = rnd.randint(4000, 36000)
            text = bytearray()
            while len(text) < n:
                text += b" ".join(rnd.choice(words) for _ in range(12)) + b"\r\n"
            with open(os.path.join(d, f"text{i:03d}.txt"), "wb") as f:
                f.write(text[:n])
    os.makedirs(os.path.join(src, "bin"), exist_ok=True)
    ops = [bytes(rnd.getrandbits(8) for _ in range(rnd.randint(2, 7))) for _ in range(400)]
    for k in range(3):
        with open(os.path.join(src, "bin", f"module{k}.dll"), "wb") as f:
            left = 30 << 20
            while left > 0:
                # Code-like: random bytes mixed with a small vocabulary of
                # instruction sequences.
                block = bytearray(rnd.randbytes(1900))
                while len(block) < 4096:
                    block += rnd.choice(ops)
                block = bytes(block[:min(4096, left)])
                f.write(block)
                left -= len(block)
    write_random(os.path.join(src, "bin", "data.pak"), 40, rnd)


def write_random(path, megabytes, rnd):
    with open(path, "wb") as f:
        for _ in range(megabytes):
            f.write(rnd.randbytes(1 << 20))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--incompressible-mb", type=int)
    args = parser.parse_args()
    out = os.path.abspath(args.out)
    src = tempfile.mkdtemp(prefix="mixed-package-", dir=os.path.dirname(out))
    try:
        if args.incompressible_mb:
            os.makedirs(os.path.join(src, "media"))
            write_random(os.path.join(src, "media", "video.bin"), args.incompressible_mb, random.Random(99))
            zip_args = ["zip", "-q", "-r", "-0"]
        else:
            write_mixed(src)
            zip_args = ["zip", "-q", "-r"]
        if os.path.exists(out):
            os.remove(out)
        subprocess.run(zip_args + [out, "."], cwd=src, check=True)
    finally:
        shutil.rmtree(src, ignore_errors=True)


if __name__ == "__main__":
    main()
