#!/usr/bin/env python3
"""Folder-level include graph: an edge A -> B for every `#include "B/..."` in a
file under A/. Prints the edges and every cycle; exits 1 when there is one.
Usage: python3 scripts/include-cycles.py [SOURCE_DIR]"""
import os
import re
import sys

root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
skip = {'build', 'build-san', '.git', 'tests', 'tools', 'bench'}
include = re.compile(r'^\s*#\s*include\s+"([^/"]+)/')
edges = {}
for folder in sorted(os.listdir(root)):
    if folder in skip or folder.startswith('.') or not os.path.isdir(os.path.join(root, folder)):
        continue
    for dirpath, _, files in os.walk(os.path.join(root, folder)):
        for name in files:
            if not name.endswith(('.h', '.cpp')):
                continue
            with open(os.path.join(dirpath, name), encoding='utf-8', errors='replace') as f:
                for line in f:
                    m = include.match(line)
                    if m and m.group(1) != folder:
                        edges.setdefault(folder, set()).add(m.group(1))

for a in sorted(edges):
    print(f'{a} -> {", ".join(sorted(edges[a]))}')

cycles = set()
def walk(node, path):
    for nxt in sorted(edges.get(node, ())):
        if nxt in path:
            cyc = path[path.index(nxt):]
            i = cyc.index(min(cyc))
            cycles.add(tuple(cyc[i:] + cyc[:i]))
        else:
            walk(nxt, path + [nxt])
for start in sorted(edges):
    walk(start, [start])

for c in sorted(cycles):
    print('cycle: ' + ' -> '.join(c + (c[0],)))
print(f'{len(cycles)} cycle(s)')
sys.exit(1 if cycles else 0)
