#!/usr/bin/env python3
"""check_layers.py SRC: the folders of SRC must include each other without a cycle.

Reads every `#include "FOLDER/..."` in the files under SRC whose FOLDER is a folder of SRC, and
draws an edge from the including file's folder to FOLDER. Exits 0 when the folders form no cycle
(a folder including itself is fine); 2 when SRC is not a source tree; 1 when some folders include
each other, directly or through others. For each such group of folders it names the fewest
include lines whose removal breaks every cycle among them (file, line number and line), each with
a cycle it closes and the places of the cycle's other includes.
"""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]*"')
SOURCE_SUFFIXES = (".c", ".cc", ".cpp", ".cxx", ".h", ".hh", ".hpp", ".hxx", ".inl", ".ipp")


def read_edges(src):
    """{(from folder, to folder): [(file, line number, include line), ...]} over SRC's files."""
    folders = {name for name in os.listdir(src) if os.path.isdir(os.path.join(src, name))}
    edges = {}
    for folder in sorted(folders):
        for root, dirs, files in os.walk(os.path.join(src, folder)):
            dirs.sort()
            for name in sorted(files):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(root, name)
                with open(path, encoding="utf-8", errors="replace") as text:
                    for number, line in enumerate(text, 1):
                        match = INCLUDE.match(line)
                        if match and match.group(1) in folders and match.group(1) != folder:
                            edges.setdefault((folder, match.group(1)), []).append(
                                (os.path.relpath(path, src), number, line.strip()))
    return folders, edges


def strongly_connected(folders, edges):
    """The folder groups that reach each other (Tarjan), those of more than one folder only."""
    successors = {folder: sorted(to for (start, to) in edges if start == folder) for folder in folders}
    index, low, stack, on_stack, groups = {}, {}, [], set(), []

    def visit(folder):
        index[folder] = low[folder] = len(index)
        stack.append(folder)
        on_stack.add(folder)
        for to in successors[folder]:
            if to not in index:
                visit(to)
                low[folder] = min(low[folder], low[to])
            elif to in on_stack:
                low[folder] = min(low[folder], index[to])
        if low[folder] == index[folder]:
            group = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                group.append(member)
                if member == folder:
                    break
            if len(group) > 1:
                groups.append(sorted(group))

    for folder in sorted(folders):
        if folder not in index:
            visit(folder)
    return groups


def cheapest_cut(group, edges):
    """The folder dependencies within the group whose include lines, removed, leave no cycle, as few
    lines as can be: the folders are put in the order (lowest layer first) that leaves the fewest
    lines including a higher folder, found exactly for up to 16 folders and, beyond, by the lines
    each folder has out minus in; the dependencies on a higher folder are the answer."""
    weight = {edge: len(places) for edge, places in edges.items() if edge[0] in group and edge[1] in group}
    if len(group) <= 16:
        # best[mask]: the fewest upward lines with the folders of mask as the lowest layers, in order.
        best = {0: (0, [])}
        for mask in range(1 << len(group)):
            if mask not in best:
                continue
            cost, order = best[mask]
            for bit, folder in enumerate(group):
                if mask & (1 << bit):
                    continue
                upward = sum(weight.get((lower, folder), 0) for lower in order)
                entry = (cost + upward, order + [folder])
                if mask | (1 << bit) not in best or entry[0] < best[mask | (1 << bit)][0]:
                    best[mask | (1 << bit)] = entry
        order = best[(1 << len(group)) - 1][1]
    else:
        balance = {folder: 0 for folder in group}
        for (begin, to), lines in weight.items():
            balance[begin] += lines
            balance[to] -= lines
        order = sorted(group, key=lambda folder: (balance[folder], folder))
    place = {folder: at for at, folder in enumerate(order)}
    return sorted(edge for edge in weight if place[edge[1]] > place[edge[0]])


def path_back(start, goal, group, edges):
    """A shortest path of includes from start to goal within the group, as a list of folders."""
    paths = {start: [start]}
    queue = [start]
    while queue:
        folder = queue.pop(0)
        if folder == goal:
            return paths[folder]
        for to in sorted(to for (begin, to) in edges if begin == folder and to in group):
            if to not in paths:
                paths[to] = paths[folder] + [to]
                queue.append(to)
    return [start, goal]


def report(group, edges, shown_per_edge=3):
    print(f"check_layers: the folders {', '.join(group)} include each other")
    for begin, to in cheapest_cut(group, edges):
        cycle = [begin] + path_back(to, begin, group, edges)
        print(f"  {' -> '.join(cycle)}, fewest lines to remove in {begin} -> {to}:")
        for path, number, line in edges[(begin, to)]:
            print(f"    {path}:{number}: {line}")
        for step in zip(cycle[1:], cycle[2:]):
            places = edges[step]
            print(f"    and {step[0]} -> {step[1]}: "
                  + ", ".join(f"{path}:{number}" for path, number, _ in places[:shown_per_edge])
                  + (f" and {len(places) - shown_per_edge} more" if len(places) > shown_per_edge else ""))


def main(argv):
    if len(argv) != 2:
        print("usage: check_layers.py SRC", file=sys.stderr)
        return 2
    src = argv[1]
    if not os.path.isdir(src):
        print(f"check_layers: {src} is not a folder", file=sys.stderr)
        return 2
    folders, edges = read_edges(src)
    if not edges:
        print(f"check_layers: no folder of {src} includes another's header; is it the source tree?",
              file=sys.stderr)
        return 2
    groups = strongly_connected(folders, edges)
    if not groups:
        print(f"check_layers: {len(folders)} folders, {len(edges)} folder dependencies, no cycle")
        return 0
    for group in groups:
        report(group, edges)
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
