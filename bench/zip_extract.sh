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
[ -f "$pkg" ] || python3 bench/mixed_package.py "$pkg"
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
