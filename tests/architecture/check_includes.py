#!/usr/bin/env python3
"""Checks every #include "..." against the layer tables of docs/ARCHITECTURE.md.

Each table names the tree it holds in its header ("| Level | Folders of `src/` | ..."). A file
may include a header of its own folder, of a folder on a lower level, or one of the generated
headers the document names; a folder is the longest one in the table that holds the file, so
`app/shell` and `app/main_window` are apart. Files at the top of a tree are not checked (the
templates of generated headers, the service's two mains). A line "SQL only in `store/`" keeps
SQL statements and the database engines' headers out of that tree's other folders.
Usage: check_includes.py SOURCE_ROOT
"""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
document = (root / "docs" / "ARCHITECTURE.md").read_text(encoding="utf-8")

SQL_TEXT = re.compile(r'"\s*(SELECT|INSERT INTO|UPDATE \w+ SET|DELETE FROM|CREATE (TABLE|INDEX)|ALTER TABLE|'
                      r'DROP TABLE|BEGIN|COMMIT|ROLLBACK|LOCK TABLE)\b')
ENGINE_HEADER = re.compile(r"\s*#\s*include\s+<(sqlite3\.h|libpq-fe\.h)>")
INCLUDE = re.compile(r'\s*#\s*include\s+"([^"]+)"')


def read_tables():
    """{tree: {folder: level}}, and {tree: the one folder that may hold SQL}."""
    tables, sql_homes, tree = {}, {}, None
    for line in document.splitlines():
        header = re.match(r"\|\s*Level\s*\|\s*Folders of `([^`]+)`", line)
        row = re.match(r"\|\s*(\d+)\s*\|([^|]*)\|", line)
        sql = re.match(r"SQL only in `([^`]+)`", line)
        if header:
            tree = header.group(1).rstrip("/")
            tables[tree] = {}
        elif line.startswith("#"):
            tree = None
        elif row and tree:
            for folder in re.findall(r"`([^`]+)`", row.group(2)):
                tables[tree][folder.rstrip("/")] = int(row.group(1))
        elif sql and tree:
            sql_homes[tree] = sql.group(1).rstrip("/")
    return tables, sql_homes


def folder_of(parts, levels):
    """The longest folder of the table that holds a path given as its folder parts."""
    for length in range(len(parts), 0, -1):
        folder = "/".join(parts[:length])
        if folder in levels:
            return folder
    return None


tables, sql_homes = read_tables()
generated_line = re.search(r"^Generated headers.*$", document, re.MULTILINE)
generated = set(re.findall(r"`([^`]+)`", generated_line.group(0))) if generated_line else set()
if not tables:
    sys.exit("no layer table found in docs/ARCHITECTURE.md")

faults = []
for tree, levels in tables.items():
    base = root / tree
    for path in sorted(base.rglob("*")):
        if not path.is_file() or path.suffix not in {".h", ".cpp", ".rc", ".in"} or path.parent == base:
            continue
        name = path.relative_to(root)
        folder = folder_of(path.relative_to(base).parts[:-1], levels)
        if folder is None:
            faults.append(f"{name}: its folder is not in the layer table of {tree}/")
            continue
        outside_sql_home = tree in sql_homes and folder.split("/")[0] != sql_homes[tree]
        for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
            if outside_sql_home and (SQL_TEXT.search(line) or ENGINE_HEADER.match(line)):
                faults.append(f"{name}:{number}: SQL outside {sql_homes[tree]}/")
            include = INCLUDE.match(line)
            if not include:
                continue
            header = include.group(1)
            if "/" not in header:
                if header in generated or (path.parent / header).exists():
                    continue
                faults.append(f"{name}:{number}: \"{header}\" is neither generated nor beside it")
                continue
            target = folder_of(header.split("/")[:-1], levels)
            if target == folder:
                continue
            if target is None:
                faults.append(f"{name}:{number}: \"{header}\" is in no layer")
            elif levels[target] >= levels[folder]:
                faults.append(f"{name}:{number}: {folder} (level {levels[folder]}) "
                              f"includes \"{header}\" of {target} (level {levels[target]})")

for fault in faults:
    print(fault)
print(f"{len(faults)} fault(s) against the layers of docs/ARCHITECTURE.md")
sys.exit(1 if faults else 0)
