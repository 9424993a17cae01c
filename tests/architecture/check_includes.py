#!/usr/bin/env python3
"""Checks every #include "..." against the layer tables of docs/ARCHITECTURE.md.

A table names its tree in its header ("| Level | Folders of `src/` |"). A file may include a
header of its own folder, of a folder on a lower level, or a generated header the document
names; a file's folder is the deepest one its table lists, and the files at the top of a tree
are not checked. A line "SQL only in `store/`" keeps SQL out of the tree's other folders.
Usage: check_includes.py SOURCE_ROOT
"""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
document = (root / "docs" / "ARCHITECTURE.md").read_text(encoding="utf-8")
SQL = re.compile(r'"\s*(SELECT|INSERT INTO|UPDATE \w+ SET|DELETE FROM|CREATE (TABLE|INDEX)|ALTER TABLE|DROP TABLE|'
                 r'BEGIN|COMMIT|ROLLBACK|LOCK TABLE)\b|^\s*#\s*include\s+<(sqlite3|libpq-fe)\.h>')

tables, sql_homes, tree = {}, {}, None  # tree -> {folder: level}; tree -> the folder SQL lives in
for line in document.splitlines():
    header = re.match(r"\|\s*Level\s*\|\s*Folders of `([^`]+)/`", line)
    row = re.match(r"\|\s*(\d+)\s*\|([^|]*)\|", line)
    sql = re.match(r"SQL only in `([^`]+)/`", line)
    if header:
        tree = header.group(1)
        tables[tree] = {}
    elif line.startswith("#"):
        tree = None
    elif row and tree:
        tables[tree].update((folder, int(row.group(1))) for folder in re.findall(r"`([^`]+)`", row.group(2)))
    elif sql and tree:
        sql_homes[tree] = sql.group(1)
generated_line = re.search(r"^Generated headers.*$", document, re.MULTILINE)
generated = set(re.findall(r"`([^`]+)`", generated_line.group(0))) if generated_line else set()
if not tables:
    sys.exit("no layer table found in docs/ARCHITECTURE.md")


def folder_of(parts, levels):
    """The deepest folder of the table that holds a path given as its folders."""
    return next(("/".join(parts[:n]) for n in range(len(parts), 0, -1) if "/".join(parts[:n]) in levels), None)


faults = []
for tree, levels in tables.items():
    for path in sorted((root / tree).rglob("*")):
        if not path.is_file() or path.suffix not in {".h", ".cpp", ".rc", ".in"} or path.parent == root / tree:
            continue
        name = path.relative_to(root)
        folder = folder_of(path.relative_to(root / tree).parts[:-1], levels)
        if folder is None:
            faults.append(f"{name}: its folder is not in the layer table of {tree}/")
            continue
        sql_banned = tree in sql_homes and folder.split("/")[0] != sql_homes[tree]
        for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
            if sql_banned and SQL.search(line):
                faults.append(f"{name}:{number}: SQL outside {sql_homes[tree]}/")
            include = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
            if not include:
                continue
            header = include.group(1)
            if "/" not in header:
                if header in generated or (path.parent / header).exists():
                    continue
                faults.append(f"{name}:{number}: \"{header}\" is neither generated nor beside it")
                continue
            target = folder_of(header.split("/")[:-1], levels)
            if target is None:
                faults.append(f"{name}:{number}: \"{header}\" is in no layer")
            elif target != folder and levels[target] >= levels[folder]:
                faults.append(f"{name}:{number}: {folder} (level {levels[folder]}) "
                              f"includes \"{header}\" of {target} (level {levels[target]})")

for fault in faults:
    print(fault)
print(f"{len(faults)} fault(s) against the layers of docs/ARCHITECTURE.md")
sys.exit(1 if faults else 0)
