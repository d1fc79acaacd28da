#!/usr/bin/env python3
"""Fails when the program's object files depend on one another in a loop.

An object file depends on another when it uses a function or variable that
the other defines (read from `nm`: what each defines, what it leaves
undefined). Code that calls into a file that calls it back, at any length of
loop, reads as one module split over files; the program is kept free of it.
Inline functions and templates (weak symbols, defined wherever they are used)
are no dependency.

usage: check_dependencies.py NM LIBRARY.a...
"""
import os
import re
import subprocess
import sys


# "lib.a:file.cpp.o:0000000000000010 T name", or for a symbol it uses "lib.a:file.cpp.o:                 U name"
NM_LINE = re.compile(r"^.*:([^:]+\.o(?:bj)?):\s*[0-9a-fA-F]*\s+(\S)\s+(.*)$")


def symbols(nm, library):
    """{object: (defined, used)} for each object file of the archive."""
    objects = {}
    out = subprocess.run([nm, "-A", "-C", library], check=True, capture_output=True, text=True).stdout
    for line in out.splitlines():
        match = NM_LINE.match(line)
        if not match:
            continue
        member, kind, name = match.groups()
        obj = f"{os.path.basename(library)}:{member}"  # a file of the same name may be in two libraries
        defined, used = objects.setdefault(obj, (set(), set()))
        if kind == "U":
            used.add(name)
        elif kind.isupper() and kind not in "WV":
            defined.add(name)
    return objects


def loops(graph):
    """The strongly connected groups of more than one object (Tarjan)."""
    index, low, stack, on_stack, found, counter = {}, {}, [], set(), [], [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on_stack.add(v)
        for w in graph[v]:
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            group = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                group.append(w)
                if w == v:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    for v in sorted(graph):
        if v not in index:
            visit(v)
    return found


def main():
    nm, libraries = sys.argv[1], sys.argv[2:]
    objects = {}
    for library in libraries:
        objects.update(symbols(nm, library))
    owner = {}
    for obj, (defined, _) in objects.items():
        for name in defined:
            owner[name] = obj
    graph = {obj: {} for obj in objects}
    for obj, (_, used) in objects.items():
        for name in used:
            if name in owner and owner[name] != obj:
                graph[obj].setdefault(owner[name], []).append(name)
    if not objects or not any(graph.values()):
        print(f"no dependencies read from {len(objects)} object files: is this nm's output as expected?")
        return 1
    found = loops(graph)
    for group in found:
        print("these object files use one another in a loop:")
        for obj in group:
            for other, names in sorted(graph[obj].items()):
                if other in group:
                    print(f"  {obj} -> {other}: {', '.join(sorted(names)[:4])}")
    edges = sum(len(g) for g in graph.values())
    print(f"{len(objects)} object files, {edges} dependencies between them, {len(found)} loops")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
