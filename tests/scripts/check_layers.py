#!/usr/bin/env python3
"""Fails when the source tree breaks its layering.

Each folder of src/ is a layer and may include its own headers and those of
the layers below it, never one above or beside it:

    main -> app -> engine -> http, delta, xml -> platform -> base
    delta -> zip
    publish (the publisher's tool) -> engine

Only platform/ includes the operating system's headers: elsewhere an
angle-bracket include must be a C++ standard header or a library that the
layer links (zlib from zip up).

The tests follow the same table: tests/<layer>/ and tests/support/<layer>/
may include their layer and the layers below it (sources and support alike);
tests/posix/ and tests/win32/ test the platform's backends, and the programs
in tests/win32/programs/ stand on top of everything. Tests may include the
system's headers: they set up what the code under test meets.

The libraries follow it too: each au_<layer> library, and each test program
and test support library, links only the libraries of its layer and below.

Nowhere does an include climb out of its folder with "../".
"""
import re
import sys
from pathlib import Path

BELOW = {
    "main": {"app", "engine", "http", "delta", "zip", "xml", "platform", "base"},
    "app": {"engine", "http", "delta", "zip", "xml", "platform", "base"},
    "publish": {"engine", "http", "delta", "zip", "xml", "platform", "base"},
    "engine": {"http", "delta", "zip", "xml", "platform", "base"},
    "delta": {"zip", "platform", "base"},
    "http": {"platform", "base"},
    "zip": {"platform", "base"},
    "xml": {"platform", "base"},
    "platform": {"base"},
    "base": set(),
}
# Third-party headers and the lowest layer that links their library.
THIRD_PARTY = {"zlib.h": "zip", "divsufsort.h": "publish"}
# Test folders named after what they test rather than after a layer.
TEST_FOLDERS = {"posix": "platform", "win32": "platform"}
TEST_PROGRAMS = ("win32", "programs")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
SOURCES = (".h", ".cpp", ".inc")


def may_use(layer, target):
    return target == layer or target in BELOW[layer]


def source_files(folder):
    return sorted(p for p in folder.rglob("*") if p.suffix in SOURCES and p.is_file())


def includes(path):
    return INCLUDE.findall(path.read_text(encoding="utf-8"))


def climbing(root):
    for folder in ("src", "tests", "fuzz", "bench"):
        for path in source_files(root / folder):
            for kind, name in includes(path):
                if name.startswith("../") or "/../" in name:
                    yield f"{path}: includes {name}, climbing out of its folder"


def src_problems(src):
    for path in source_files(src):
        layer = path.relative_to(src).parts[0]
        if layer not in BELOW:
            yield f"{path}: folder {layer}/ is no known layer"
            continue
        for kind, name in includes(path):
            target = name.split("/", 1)[0]
            if kind == '"' and "/" in name and target in BELOW:
                if not may_use(layer, target):
                    yield f"{path}: {layer}/ includes {name}, a layer above or beside it"
            elif kind == "<" and layer != "platform" and name.endswith(".h"):
                if name not in THIRD_PARTY or not may_use(layer, THIRD_PARTY[name]):
                    yield f"{path}: <{name}> outside platform/"


def test_layer(parts):
    """The layer a file under tests/ belongs to, from its folders; None when
    it is in no layer's folder."""
    if parts[0] == "support":
        return parts[1] if len(parts) > 2 and parts[1] in BELOW else None
    if tuple(parts[:2]) == TEST_PROGRAMS:
        return "main"
    if parts[0] in TEST_FOLDERS:
        return TEST_FOLDERS[parts[0]]
    return parts[0] if parts[0] in BELOW else None


def test_problems(tests):
    for path in source_files(tests):
        layer = test_layer(path.relative_to(tests).parts)
        if layer is None:
            yield f"{path}: outside the folder of a layer"
            continue
        for kind, name in includes(path):
            if kind != '"' or "/" not in name:
                continue
            parts = name.split("/")
            target = parts[0]
            if target == "support":
                target = parts[1] if len(parts) > 2 else None
                if target not in BELOW:
                    yield f"{path}: includes {name}, support outside the folder of a layer"
                    continue
            if target in BELOW and not may_use(layer, target):
                yield f"{path}: tests of {layer}/ include {name}, a layer above or beside it"


# Calls that name a target, then what it links: au_link(target libraries...),
# target_link_libraries(target ...), au_test_support(layer libraries...) and
# au_test_suite(name folder LINK libraries... [DISCOVER ...]).
LINK_CALL = re.compile(r"^\s*(au_link|target_link_libraries|au_test_support|au_test_suite)\(([^)]*)\)", re.M)


def library_layer(name):
    for prefix in ("au_test_support_", "au_"):
        if name.startswith(prefix) and name[len(prefix):] in BELOW:
            return name[len(prefix):]
    return None


def linked(call, words):
    """(layer of the target, libraries it links) of one call; None for a
    target that is no layer's."""
    if call == "au_test_support":
        return words[0], words[1:]
    if call == "au_test_suite":
        links = words[words.index("LINK") + 1:] if "LINK" in words else []
        links = links[:links.index("DISCOVER")] if "DISCOVER" in links else links
        return test_layer(words[1].split("/")), links
    return library_layer(words[0]), words[1:]


def link_problems(root):
    for cmake in sorted((root / "src").rglob("CMakeLists.txt")) + [root / "tests" / "CMakeLists.txt"]:
        text = re.sub(r"#.*", "", cmake.read_text(encoding="utf-8"))
        for call, arguments in LINK_CALL.findall(text):
            words = arguments.split()
            if not words or words[0].startswith("$"):
                continue
            layer, links = linked(call, words)
            if cmake.parent.name == "main" and cmake.parent.parent.name == "src":
                layer = "main"
            if layer is None:
                continue
            for library in links:
                target = library_layer(library)
                if target is not None and not may_use(layer, target):
                    yield f"{cmake}: {words[0]} ({layer}/) links {library}, a layer above or beside it"


def problems(root):
    yield from climbing(root)
    yield from src_problems(root / "src")
    yield from test_problems(root / "tests")
    yield from link_problems(root)


def main():
    root = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parents[2])
    found = list(problems(root))
    for line in found:
        print(line)
    print(f"{len(found)} layering problem(s)" if found else "layers: fine")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
