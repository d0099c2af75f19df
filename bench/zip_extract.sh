#!/usr/bin/env bash
# Times the updater's extraction against Info-ZIP unzip, bsdtar and 7z on one
# mixed package of about 170 MB (2,000 small text files in 40 folders, three
# 30 MB compressible DLL-like files, one 40 MB incompressible file), made once
# into build/zip-bench/. Needs hyperfine.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${AU_BENCH_DIR:-build/zip-bench}
cmake --preset bench -B "$build" >/dev/null
cmake --build "$build" --target zip_extract_bench -j2 >/dev/null
bin=$(find "$build" -name zip_extract_bench -type f -perm -u+x | head -1)

pkg=$build/zip-bench-package.zip
if [ ! -f "$pkg" ]; then
  src=$build/zip-bench-source
  rm -rf "$src"
  python3 - "$src" <<'PY'
import os, random, sys
src = sys.argv[1]
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
            block = bytearray(os.urandom(1900))
            while len(block) < 4096:
                block += rnd.choice(ops)
            block = bytes(block[:min(4096, left)])
            f.write(block)
            left -= len(block)
with open(os.path.join(src, "bin", "data.pak"), "wb") as f:
    f.write(os.urandom(40 << 20))
PY
  (cd "$src" && zip -q -r "$(realpath -m ../zip-bench-package.zip)" .)
  rm -rf "$src"
fi
ls -l "$pkg"
out=$build/zip-bench-out
hyperfine --warmup 1 --runs ${AU_BENCH_RUNS:-10} --export-markdown "$build/zip-bench.md" \
  --prepare "rm -rf $out" \
  -n ours "$bin $pkg $out" \
  -n "unzip -o -q" "unzip -o -q $pkg -d $out" \
  -n "bsdtar -xf" "mkdir -p $out && bsdtar -xf $pkg -C $out" \
  -n "7z x -y" "7z x -y -bd -bso0 -bsp0 -o$out $pkg"
rm -rf "$out"
cat "$build/zip-bench.md"
