#!/usr/bin/env python3
"""Fails when the source tree breaks its layering.

Each folder of src/ is a layer and may include its own headers and those of
the layers below it, never one above or beside it:

    main -> app -> engine -> http, zip, xml -> platform
    publish (the publisher's tool) -> engine

and only platform/ includes the operating system's headers: outside it an
angle-bracket include must be a C++ standard header or zlib.
"""
import re
import sys
from pathlib import Path

BELOW = {
    "main": {"app", "engine", "http", "zip", "xml", "platform"},
    "app": {"engine", "http", "zip", "xml", "platform"},
    "publish": {"engine", "http", "zip", "xml", "platform"},
    "engine": {"http", "zip", "xml", "platform"},
    "http": {"platform"},
    "zip": {"platform"},
    "xml": {"platform"},
    "platform": set(),
}
THIRD_PARTY = {"zlib.h"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def problems(src):
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        layer = path.relative_to(src).parts[0]
        if layer not in BELOW:
            yield f"{path}: folder {layer}/ is no known layer"
            continue
        for kind, name in INCLUDE.findall(path.read_text(encoding="utf-8")):
            target = name.split("/", 1)[0]
            if kind == '"' and "/" in name and target in BELOW:
                if target != layer and target not in BELOW[layer]:
                    yield f"{path}: {layer}/ includes {name}, a layer above or beside it"
            elif kind == "<" and layer != "platform":
                if name.endswith(".h") and name not in THIRD_PARTY:
                    yield f"{path}: <{name}> outside platform/"


def main():
    src = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parents[2] / "src")
    found = list(problems(src))
    for line in found:
        print(line)
    print(f"{len(found)} layering problem(s)" if found else "layers: fine")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
