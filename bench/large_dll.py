#!/usr/bin/env python3
"""A large 32-bit Windows DLL built from generated C sources, in two
variants that differ by one small source change, as a business application's
DLL between two releases: about 2 MB of code in 8000 exported functions
that call each other, read tables and format texts, and 16 MB of data
(GBK text records, image-like bytes, already compressed bytes). The second
variant adds two lines to one function in the middle of the code, so the
code after it moves and the calls and addresses that cross it change.

    bench/large_dll.py FOLDER      writes FOLDER/old.dll and FOLDER/new.dll

Objects are kept in FOLDER: the second variant recompiles only the unit that
changed, like an incremental build, and a second call builds nothing.
"""
import random
import shutil
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

CC = "i686-w64-mingw32-gcc"
UNITS = 8
FUNCTIONS = 1000      # per unit
TABLES = FUNCTIONS // 20
CHANGED_UNIT = 3
DATA = {"records.bin": 6, "picture.bin": 6, "packed.bin": 4}  # MB each

OPERATIONS = [
    "acc ^= table_{u}_{t}[(acc + {c}) & 255];",
    "acc += (int)(recs_{u}_{t}[acc & 15].rate * {c});",
    "if (acc > {c}) acc -= b; else acc += a;",
    "for (int i = 0; i < (a & 7); ++i) acc = acc * 31 + i * {c};",
    "switch (acc & 7) {{ case 0: acc += {c}; break; case 1: acc -= {c}; break; case 2: acc ^= {c}; break;"
    " case 3: acc *= 3; break; default: acc >>= 1; }}",
    "acc += (int)strlen(recs_{u}_{t}[(acc >> 3) & 15].name);",
]
WORDS = ["客户", "账户", "订单", "库存", "发票", "合同"]


def function(rng, u, f, changed):
    body = [f"  int acc = a * {rng.randrange(1, 97)} + b;"]
    for _ in range(rng.randrange(3, 9)):
        op = rng.choice(OPERATIONS)
        body.append("  " + op.format(u=u, t=rng.randrange(TABLES), c=rng.randrange(1, 100000)))
    if f:
        body.append(f"  acc += f_{u}_{rng.randrange(f)}(acc, b ^ {rng.randrange(1000)});")
    if changed:
        body.append('  acc += (int)strlen("修正：订单合计按新的税率计算");')
        body.append("  if (acc == 12345) acc = b;")
    return f"__declspec(dllexport) int f_{u}_{f}(int a, int b) {{\n" + "\n".join(body) + "\n  return acc;\n}"


def unit_source(u, new):
    rng = random.Random(u)
    out = ["#include <string.h>", "typedef struct { int id; double rate; const char* name; } Rec;"]
    for t in range(TABLES):
        values = ",".join(str(rng.randrange(0, 1 << rng.choice((8, 16, 31)))) for _ in range(256))
        out.append(f"const int table_{u}_{t}[256] = {{{values}}};")
        records = ",".join(f'{{{rng.randrange(1000)}, {rng.random():.6f}, "record {u}-{t}-{i} {rng.choice(WORDS)}"}}'
                           for i in range(16))
        out.append(f"const Rec recs_{u}_{t}[16] = {{{records}}};")
    for f in range(FUNCTIONS):
        out.append(function(rng, u, f, new and u == CHANGED_UNIT and f == FUNCTIONS // 2))
    return "\n".join(out) + "\n"


def data_file(name, size):
    rng = random.Random(name)
    if name == "records.bin":
        lines, total = [], 0
        while total < size:
            line = (f"ORD{rng.randrange(10 ** 8):08d}\t{rng.choice(WORDS)}{rng.randrange(5000)}\t"
                    f"{rng.randrange(10 ** 6) / 100:.2f}\t2025-{rng.randrange(1, 13):02d}-{rng.randrange(1, 29):02d}"
                    "\r\n").encode("gbk")
            lines.append(line)
            total += len(line)
        return b"".join(lines)[:size]
    if name == "picture.bin":
        row = 4096
        return bytes((x // 16 + y // 8 + rng.randrange(4)) & 255 for y in range(size // row) for x in range(row))
    return rng.randbytes(size)


def data_assembly(folder):
    lines = ['\t.section .rdata,"dr"']
    for name in DATA:
        symbol = "_blob_" + name.split(".")[0]
        lines += [f"\t.globl {symbol}", "\t.balign 16", f"{symbol}:", f'\t.incbin "{folder / name}"']
    return "\n".join(lines) + "\n"


def write_if_changed(path, text):
    if not path.exists() or path.read_text(encoding="utf-8") != text:
        path.write_text(text, encoding="utf-8")


def compile_unit(source):
    obj = source.with_suffix(".o")
    if not obj.exists() or obj.stat().st_mtime < source.stat().st_mtime:
        subprocess.run([CC, "-O2", "-c", str(source), "-o", str(obj)], check=True)
    return obj


def build_variant(folder, name, new, pool):
    units = folder / name
    units.mkdir(parents=True, exist_ok=True)
    old_units = folder / "old"
    sources = []
    for u in range(UNITS):
        source = units / f"u{u}.c"
        text = unit_source(u, new)
        if new and (old_units / f"u{u}.c").exists() and (old_units / f"u{u}.c").read_text(encoding="utf-8") == text:
            source = old_units / f"u{u}.c"  # the same source: the object already built
        else:
            write_if_changed(source, text)
        sources.append(source)
    objects = list(pool.map(compile_unit, sources))
    dll = folder / f"{name}.dll"
    if not dll.exists() or any(o.stat().st_mtime > dll.stat().st_mtime for o in objects):
        subprocess.run([CC, "-shared", "-s", "-o", str(dll), *map(str, objects), str(folder / "data.S")], check=True)
    return dll


def build(folder):
    """(old.dll, new.dll) below `folder`, built when missing."""
    folder = Path(folder).resolve()
    folder.mkdir(parents=True, exist_ok=True)
    if shutil.which(CC) is None:
        raise SystemExit(f"{CC} is missing (scripts/setup.sh installs it)")
    for name, mb in DATA.items():
        if not (folder / name).exists():
            (folder / name).write_bytes(data_file(name, mb * 1024 * 1024))
    write_if_changed(folder / "data.S", data_assembly(folder))
    with ThreadPoolExecutor(2) as pool:
        return build_variant(folder, "old", False, pool), build_variant(folder, "new", True, pool)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    for dll in build(sys.argv[1]):
        print(dll, dll.stat().st_size)
