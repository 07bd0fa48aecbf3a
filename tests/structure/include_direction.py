#!/usr/bin/env python3
"""Fails when the network side or apctl reaches the dialog framework or Qt Widgets.

    include_direction.py SOURCE_ROOT [QT_WIDGETS_INCLUDE_DIR]

Follows the project's own includes from every file of the checked folders, so a path through
another folder (resources/, say) counts as well. Qt Widgets class headers (<QWidget>) are known
from Qt's include folder when it is given or found; <QtWidgets/...> always counts.
"""
import glob
import os
import re
import sys

CHECKED = ["discovery", "net", "fleet", "tools/apctl",
           "config/ConfigExchange.h", "config/ConfigExchange.cpp", "config/ConfigTiming.h"]
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def widgets_headers(given):
    candidates = [given] if given else glob.glob("/usr/include/*/qt6/QtWidgets")
    for folder in candidates:
        if folder and os.path.isdir(folder):
            return {name for name in os.listdir(folder) if re.fullmatch(r"Q\w+", name)}
    return set()


def checked_files(root):
    for entry in CHECKED:
        path = os.path.join(root, entry)
        if os.path.isfile(path):
            yield entry
        for folder, _, names in os.walk(path):
            for name in sorted(names):
                if name.endswith(SOURCE_SUFFIXES):
                    yield os.path.relpath(os.path.join(folder, name), root)


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: include_direction.py SOURCE_ROOT [QT_WIDGETS_INCLUDE_DIR]")
    root = sys.argv[1]
    widgets = widgets_headers(sys.argv[2] if len(sys.argv) > 2 else None)
    includes = {}

    def includes_of(path):
        if path not in includes:
            try:
                with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
                    includes[path] = INCLUDE.findall(f.read())
            except OSError:
                includes[path] = []
        return includes[path]

    def forbidden(kind, name):
        if kind == '"':
            return name.startswith("framework/")
        return name.startswith(("QtWidgets/", "QtWidgets")) or name in widgets

    def resolve(path, name):
        for candidate in (name, os.path.normpath(os.path.join(os.path.dirname(path), name))):
            if os.path.isfile(os.path.join(root, candidate)):
                return candidate
        return None

    failures = []
    for start in checked_files(root):
        seen = {start}
        stack = [(start, [start])]
        while stack:
            path, chain = stack.pop()
            for kind, name in includes_of(path):
                if forbidden(kind, name):
                    failures.append(" -> ".join(chain + [name]))
                    continue
                target = resolve(path, name) if kind == '"' else None
                if target and target not in seen:
                    seen.add(target)
                    stack.append((target, chain + [target]))
    if failures:
        print("\n".join(sorted(set(failures))))
        print("the network side or apctl reaches the dialog framework or Qt Widgets (above)",
              file=sys.stderr)
        return 1
    print("the network side and apctl reach neither the dialog framework nor Qt Widgets")
    return 0


if __name__ == "__main__":
    sys.exit(main())
