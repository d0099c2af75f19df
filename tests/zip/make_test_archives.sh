#!/usr/bin/env bash
# make_test_archives.sh OUT_DIR
# Builds, once per build folder, the archives the zip interoperability tests
# read: made by Info-ZIP zip, Python's zipfile, bsdtar and 7z from one source
# tree, plus a Zip64 archive with more than 65,535 entries and a sparse one
# with an entry over 4 GiB; and what unzip/bsdtar extract from the shared
# peer corpus. Runs again only when this script changes.
set -euo pipefail
out=$1
here=$(cd "$(dirname "$0")" && pwd)
stamp_want=$(sha1sum "$0" "$here/make_test_archives.py" | sha1sum | cut -c1-40)
if [ -f "$out/.stamp" ] && [ "$(cat "$out/.stamp")" = "$stamp_want" ]; then
  exit 0
fi
rm -rf "$out"
mkdir -p "$out"
export TZ=${TZ:-UTC}

python3 "$here/make_test_archives.py" "$out"

tree=$out/tree
arc=$out/archives
( cd "$tree" && zip -q -X -r "$arc/infozip_deflate.zip" . )
( cd "$tree" && zip -q -X -0 -r "$arc/infozip_store.zip" . )
# Written to a pipe, so sizes and CRCs follow the data in descriptors.
( cd "$tree" && zip -q -X -r - . | cat > "$arc/infozip_stream.zip" )
( cd "$tree" && bsdtar --format zip -cf "$arc/bsdtar.zip" . )
( cd "$tree" && 7z a -tzip -bd -bso0 -bsp0 "$arc/7z.zip" . )
( cd "$tree" && 7z a -tzip -mx=0 -bd -bso0 -bsp0 "$arc/7z_store.zip" . )
python3 "$here/make_test_archives.py" --manifest "$out"

# The peer corpus as unzip and bsdtar extract it (symbolic links become
# files holding the link text, so that every build can compare bytes).
corpus=$here/../../../shared/zip-corpus
if [ -d "$corpus" ]; then
  for z in "$corpus"/*.zip; do
    name=$(basename "$z" .zip)
    mkdir -p "$out/corpus/$name/unzip" "$out/corpus/$name/bsdtar"
    timeout 60 unzip -o -q -P wrong "$z" -d "$out/corpus/$name/unzip" </dev/null >"$out/corpus/$name/unzip.log" 2>&1 \
      && echo ok >"$out/corpus/$name/unzip.rc" || echo "fail $?" >"$out/corpus/$name/unzip.rc"
    timeout 60 bsdtar -xf "$z" -C "$out/corpus/$name/bsdtar" </dev/null >"$out/corpus/$name/bsdtar.log" 2>&1 \
      && echo ok >"$out/corpus/$name/bsdtar.rc" || echo "fail $?" >"$out/corpus/$name/bsdtar.rc"
    find "$out/corpus/$name" -type l | while read -r l; do
      t=$(readlink "$l"); rm -f "$l"; printf '%s' "$t" >"$l"
    done
    chmod -R u+rwX "$out/corpus/$name"
    # A backslash is a path separator to Windows: such names (which Windows
    # cannot hold, and which would read as ".." there) are renamed.
    find "$out/corpus/$name" -depth -name '*\\*' | while read -r p; do
      b=$(basename "$p"); mv "$p" "$(dirname "$p")/${b//\\/%5C}"
    done
  done
fi
echo "$stamp_want" >"$out/.stamp"
