#!/usr/bin/env python3
"""Checks every #include "..." in src/ against the layer table of docs/ARCHITECTURE.md.

A file may include a header of its own folder, of a folder on a lower level, or one of the
generated headers the document names; anything else is reported and the check fails.
Usage: check_includes.py SOURCE_ROOT
"""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
document = (root / "docs" / "ARCHITECTURE.md").read_text(encoding="utf-8")

levels = {}  # folder -> level
for match in re.finditer(r"^\|\s*(\d+)\s*\|([^|]*)\|", document, re.MULTILINE):
    for folder in re.findall(r"`([^`]+)`", match.group(2)):
        levels[folder] = int(match.group(1))
generated_line = re.search(r"^Generated headers.*$", document, re.MULTILINE)
generated = set(re.findall(r"`([^`]+)`", generated_line.group(0))) if generated_line else set()
if not levels:
    sys.exit("no layer table found in docs/ARCHITECTURE.md")

faults = []
for path in sorted((root / "src").rglob("*")):
    if not path.is_file() or path.suffix not in {".h", ".cpp", ".rc", ".in"}:
        continue
    folder = path.relative_to(root / "src").parts[0]
    if folder not in levels:
        if path.parent != root / "src":  # files at the top of src/ are templates of generated headers
            faults.append(f"{path.relative_to(root)}: folder '{folder}' is not in the layer table")
        continue
    for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
        include = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
        if not include:
            continue
        header = include.group(1)
        if "/" not in header:
            if header in generated or (path.parent / header).exists():
                continue
            faults.append(f"{path.relative_to(root)}:{number}: \"{header}\" is neither generated nor beside it")
            continue
        target = header.split("/")[0]
        if target == folder:
            continue
        if target not in levels:
            faults.append(f"{path.relative_to(root)}:{number}: \"{header}\" is in no layer")
        elif levels[target] >= levels[folder]:
            faults.append(f"{path.relative_to(root)}:{number}: {folder} (level {levels[folder]}) "
                          f"includes \"{header}\" of {target} (level {levels[target]})")

for fault in faults:
    print(fault)
print(f"{len(faults)} include(s) against the layers of docs/ARCHITECTURE.md")
sys.exit(1 if faults else 0)
