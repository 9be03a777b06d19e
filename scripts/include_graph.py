#!/usr/bin/env python3
"""Measures the include graph of the engine: files, edges between them, the longest chain of
includes (levels), and which folders include from a folder that includes them back.

A public header (include/tagscope/engine/x.h) belongs to the folder that holds x.cpp; one
without an x.cpp belongs to no folder, as long as it includes no other header of the engine.
Exits 1 with --check when two folders include each other."""
import os
import re
import sys
from collections import defaultdict

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def engine_files():
    files = []
    for top in ("engine", "include/tagscope/engine"):
        for folder, _, names in os.walk(os.path.join(ROOT, top)):
            files += [os.path.relpath(os.path.join(folder, n), ROOT)
                      for n in names if n.endswith((".h", ".cpp"))]
    return sorted(files)


def includes(path, known):
    text = open(os.path.join(ROOT, path), encoding="utf-8").read()
    found = []
    for name in INCLUDE.findall(text):
        for candidate in (name, os.path.join("include", name)):
            if candidate in known:
                found.append(candidate)
    return found


def folder_of(path, sources):
    if path.startswith("include/tagscope/engine/"):
        stem = os.path.splitext(os.path.basename(path))[0]
        homes = [s for s in sources if os.path.splitext(os.path.basename(s))[0] == stem]
        if not homes:
            return None
        path = homes[0]
    folder = os.path.dirname(path)
    return folder if folder != "engine" else "engine (top)"


def levels(graph):
    depth = {}

    def walk(node, seen):
        if node in depth:
            return depth[node]
        if node in seen:
            return 0
        seen.add(node)
        depth[node] = 1 + max((walk(n, seen) for n in graph[node]), default=0)
        return depth[node]

    for node in list(graph):
        walk(node, set())
    return depth


def main():
    files = engine_files()
    known = set(files)
    sources = [f for f in files if f.endswith(".cpp")]
    graph = {f: includes(f, known) for f in files}
    loose = [f for f in files if graph[f] and folder_of(f, sources) is None]
    if loose:
        sys.exit(f"headers of no folder that include others: {', '.join(loose)}")
    edges = sum(len(v) for v in graph.values())
    depth = levels(graph)
    folders = defaultdict(set)
    for f, targets in graph.items():
        for t in targets:
            a, b = folder_of(f, sources), folder_of(t, sources)
            if a and b and a != b:
                folders[a].add(b)
    flat = [f for f in files if os.path.dirname(f) == "engine" and not f.endswith(".txt")]
    print(f"files: {len(files)}, flat in engine/: {len(flat)}")
    print(f"edges between files: {edges}")
    print(f"levels (longest include chain): {max(depth.values())}")
    cycles = sorted({tuple(sorted((a, b))) for a in folders for b in folders[a]
                     if a in folders.get(b, ())})
    print("folders including each other:", ", ".join(f"{a} <-> {b}" for a, b in cycles) or "none")
    if "-v" in sys.argv:
        for a in sorted(folders):
            print(f"  {a} -> {', '.join(sorted(folders[a]))}")
    return 1 if cycles and "--check" in sys.argv else 0


if __name__ == "__main__":
    sys.exit(main())
