"""Source tree and the Python-made archives for the zip interoperability tests.

make_test_archives.py OUT            tree + Python archives + Zip64 archives
make_test_archives.py --manifest OUT manifest of every archive in OUT/archives
"""
import io
import os
import random
import struct
import sys
import time
import zipfile
import zlib


def dos_tuple_of(path):
    t = time.localtime(os.stat(path).st_mtime)
    return t[:6]


def make_tree(tree):
    rnd = random.Random(4711)
    files = {
        "readme.txt": b"Package readme\r\n" * 200,
        "bin/a.dll": bytes(rnd.getrandbits(8) for _ in range(20000)) + b"MZ" * 30000,
        "bin/empty.dat": b"",
        "docs/sub/notes.txt": "".join(f"line {i}\n" for i in range(5000)).encode(),
        "random.bin": rnd.randbytes(300000),
    }
    stamp = time.mktime((2021, 6, 15, 10, 20, 31, 0, 0, -1))
    for i, (name, data) in enumerate(sorted(files.items())):
        path = os.path.join(tree, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (stamp + i * 3601, stamp + i * 3601))
    os.makedirs(os.path.join(tree, "docs", "emptydir"), exist_ok=True)
    return files


def python_archives(tree, arc, files):
    # Deflated and stored entries, a folder entry, a forced Zip64 entry.
    with zipfile.ZipFile(os.path.join(arc, "python.zip"), "w") as z:
        z.write(os.path.join(tree, "readme.txt"), "readme.txt", zipfile.ZIP_DEFLATED)
        z.write(os.path.join(tree, "random.bin"), "random.bin", zipfile.ZIP_STORED)
        z.write(os.path.join(tree, "bin"), "bin/")
        z.write(os.path.join(tree, "bin", "a.dll"), "bin/a.dll", zipfile.ZIP_DEFLATED)
        info = zipfile.ZipInfo("docs/sub/notes.txt", date_time=dos_tuple_of(os.path.join(tree, "docs/sub/notes.txt")))
        info.compress_type = zipfile.ZIP_DEFLATED
        with z.open(info, "w", force_zip64=True) as w:
            w.write(files["docs/sub/notes.txt"])
    # Written to an unseekable stream: data descriptors.
    class Pipe(io.RawIOBase):
        def __init__(self, f):
            self.f = f
        def writable(self):
            return True
        def write(self, b):
            return self.f.write(b)
    with open(os.path.join(arc, "python_stream.zip"), "wb") as raw:
        with zipfile.ZipFile(Pipe(raw), "w", zipfile.ZIP_DEFLATED) as z:
            for name in ("readme.txt", "bin/a.dll", "bin/empty.dat"):
                z.write(os.path.join(tree, name), name)
    # The largest archive comment there can be.
    with zipfile.ZipFile(os.path.join(arc, "comment_65535.zip"), "w", zipfile.ZIP_DEFLATED) as z:
        z.write(os.path.join(tree, "readme.txt"), "readme.txt")
        z.comment = bytes((i * 7 + 1) % 251 for i in range(65535)).replace(b"PK", b"pk")
    # Two end signatures in the tail: a bogus record whose comment is the
    # real one; the real one, nearer the end, must win.
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        z.write(os.path.join(tree, "readme.txt"), "readme.txt")
    data = buf.getvalue()
    real_end = data[-22:]
    bogus = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 7, 7, 12345, 999999, 22)
    with open(os.path.join(arc, "two_end_records.zip"), "wb") as f:
        f.write(data[:-22] + bogus + real_end)
    # A Chinese name in the OEM code page (936) of an MS-DOS host.
    name = "中文目录/说明.txt"
    gbk = name.encode("gbk")
    placeholder = "x" * (len(gbk) - 4) + ".txt"
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        info = zipfile.ZipInfo(placeholder, date_time=(2020, 2, 29, 23, 59, 58))
        info.create_system = 0
        z.writestr(info, "GBK named file\r\n" * 10)
    data = buf.getvalue().replace(placeholder.encode(), gbk)
    with open(os.path.join(arc, "oem_chinese.zip"), "wb") as f:
        f.write(data)


def zip64_many(arc, count=70000):
    with zipfile.ZipFile(os.path.join(arc, "zip64_many.zip"), "w", zipfile.ZIP_STORED) as z:
        for i in range(count):
            info = zipfile.ZipInfo(f"d{i % 50}/f{i}.txt", date_time=(2022, 1, 2, 3, 4, 6))
            z.writestr(info, f"entry {i}\n")


def zip64_big(arc):
    # One stored entry of 4 GiB + 10 bytes, written as a sparse hole, then a
    # small entry whose local header lies beyond 4 GiB.
    size = (1 << 32) + 10
    path = os.path.join(arc, "zip64_big.zip")
    crc = 0
    chunk = bytes(1 << 24)
    left = size
    while left:
        n = min(left, len(chunk))
        crc = zlib.crc32(chunk[:n] if n < len(chunk) else chunk, crc)
        left -= n
    dos_date = ((2023 - 1980) << 9) | (5 << 5) | 17
    dos_time = (12 << 11) | (30 << 5) | 0
    central = b""
    with open(path, "wb") as f:
        name = b"huge.bin"
        extra = struct.pack("<HHQQ", 1, 16, size, size)
        f.write(struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, 0, dos_time, dos_date, crc, 0xFFFFFFFF, 0xFFFFFFFF,
                            len(name), len(extra)) + name + extra)
        data_at = f.tell()
        f.seek(data_at + size)
        cextra = struct.pack("<HHQQ", 1, 16, size, size)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 0, dos_time, dos_date, crc,
                               0xFFFFFFFF, 0xFFFFFFFF, len(name), len(cextra), 0, 0, 0, 0x20, 0) + name + cextra
        small = b"after the hole\n"
        scrc = zlib.crc32(small)
        off = f.tell()
        name2 = b"small.txt"
        f.write(struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, dos_time, dos_date, scrc, len(small), len(small),
                            len(name2), 0) + name2 + small)
        cextra2 = struct.pack("<HHQ", 1, 8, off)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 0, dos_time, dos_date, scrc,
                               len(small), len(small), len(name2), len(cextra2), 0, 0, 0, 0x20, 0xFFFFFFFF) + name2 + cextra2
        cd_at = f.tell()
        f.write(central)
        z64_at = f.tell()
        f.write(struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, 2, 2, len(central), cd_at))
        f.write(struct.pack("<IIQI", 0x07064B50, 0, z64_at, 1))
        f.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 2, 2, len(central), 0xFFFFFFFF, 0))


def manifest(out):
    arc = os.path.join(out, "archives")
    with open(os.path.join(out, "manifest.tsv"), "w", encoding="utf-8") as m:
        for an in sorted(os.listdir(arc)):
            if an in ("zip64_big.zip", "zip64_many.zip", "two_end_records.zip"):
                continue
            with zipfile.ZipFile(os.path.join(arc, an)) as z:
                for i in z.infolist():
                    name = i.filename
                    if an == "oem_chinese.zip":
                        name = i.filename.encode("cp437").decode("gbk")
                    y, mo, d, h, mi, s = i.date_time
                    dos = (((y - 1980) << 9 | mo << 5 | d) << 16) | (h << 11 | mi << 5 | s // 2)
                    m.write(f"{an}\t{name}\t{dos:08x}\t{i.file_size}\t{int(i.is_dir())}\n")


def main():
    if sys.argv[1] == "--manifest":
        manifest(sys.argv[2])
        return
    out = sys.argv[1]
    tree = os.path.join(out, "tree")
    arc = os.path.join(out, "archives")
    os.makedirs(arc, exist_ok=True)
    files = make_tree(tree)
    python_archives(tree, arc, files)
    zip64_many(arc)
    zip64_big(arc)


if __name__ == "__main__":
    main()
