#!/usr/bin/env python3
"""Checks that the source tree keeps its layers.

Arrows point down only: host -> bridge, prompts, audio, facebook -> json -> platform ->
value. The platform's two backends (platform/sim, platform/linux) sit beside the
platform's interfaces and nothing else in src/ includes them. Only platform/linux includes
toolkit, engine or library headers (GTK, WebKit, GLib, GIO, libplist, libcurl, SDL,
libsndfile), and nothing outside it reaches one through a project header either, except
the test programs. Every library in src/CMakeLists.txt links exactly the layers its files
include, and an outside package only when its headers are used.

Usage: check_layers.py ROOT. Prints one line per violation; exit status 1 when there is any.
"""

import re
import sys
from pathlib import Path

RANKS = {
    "value": 0,
    "platform": 1,
    "json": 2,
    "bridge": 3,
    "prompts": 3,
    "audio": 3,
    "facebook": 3,
    "host": 4,
}
BACKENDS = ("platform/sim", "platform/linux")
TOOLKIT_FOLDER = "platform/linux"

PROJECT_INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)
SYSTEM_INCLUDE = re.compile(r"^\s*#\s*include\s*<([^>]+)>", re.MULTILINE)
TOOLKIT_HEADER = re.compile(
    r"^(gtk|gdk|gdk-pixbuf|gdkx|webkit2|webkit|jsc|glib|gio|gobject|plist|curl|SDL2?|"
    r"sndfile|libsoup|cairo|pango|atk)\b"
)
THREAD_HEADERS = {"thread", "mutex", "shared_mutex", "condition_variable", "future"}
LIBRARY_CALL = re.compile(r"tumbla_folder_library\s*\(([^)]*)\)", re.DOTALL)


def sources(folder):
    return sorted(p for p in folder.glob("*") if p.suffix in (".h", ".cpp", ".c"))


def folder_of(relative):
    """The layer folder a path under src/ belongs to: platform/linux, platform, value..."""
    parts = Path(relative).parts[:-1]
    if len(parts) >= 2 and "/".join(parts[:2]) in BACKENDS:
        return "/".join(parts[:2])
    return parts[0] if parts else ""


def layer_of(folder):
    return folder.split("/")[0]


class Tree:
    def __init__(self, root):
        self.root = root
        self.src = root / "src"
        self.texts = {}

    def text(self, path):
        if path not in self.texts:
            self.texts[path] = path.read_text(encoding="utf-8", errors="replace")
        return self.texts[path]

    def resolve(self, including, name):
        for candidate in (including.parent / name, self.src / name):
            if candidate.is_file():
                return candidate.resolve()
        return None

    def toolkit_chain(self, path, seen=None):
        """The include chain from `path` to a toolkit header, or None."""
        seen = set() if seen is None else seen
        if path in seen:
            return None
        seen.add(path)
        text = self.text(path)
        for header in SYSTEM_INCLUDE.findall(text):
            if TOOLKIT_HEADER.match(header):
                return [f"<{header}>"]
        for name in PROJECT_INCLUDE.findall(text):
            included = self.resolve(path, name)
            if included:
                chain = self.toolkit_chain(included, seen)
                if chain:
                    return [name] + chain
        return None


def check_includes(tree, problems):
    for path in sorted(tree.src.rglob("*")):
        if path.suffix not in (".h", ".cpp", ".c"):
            continue
        relative = path.relative_to(tree.src).as_posix()
        own_folder = folder_of(relative)
        own_rank = RANKS.get(layer_of(own_folder))
        text = tree.text(path)
        for name in PROJECT_INCLUDE.findall(text):
            target_folder = folder_of(name)
            if target_folder in BACKENDS and target_folder != own_folder:
                problems.append(f"src/{relative}: includes {name} from the backend {target_folder}")
                continue
            target_rank = RANKS.get(layer_of(target_folder))
            if own_rank is not None and target_rank is not None and target_rank > own_rank:
                problems.append(
                    f"src/{relative}: includes upward, {name} ({layer_of(target_folder)} is above "
                    f"{layer_of(own_folder)})"
                )
        if own_folder != TOOLKIT_FOLDER:
            chain = tree.toolkit_chain(path.resolve())
            if chain:
                problems.append(f"src/{relative}: reaches a toolkit header: {' -> '.join(chain)}")


def check_programs(tree, problems):
    """The command-line programs stay free of toolkit headers, even through ours."""
    for folder in ("app", "tools"):
        for path in sorted((tree.root / folder).rglob("*")):
            if path.suffix in (".h", ".cpp", ".c"):
                chain = tree.toolkit_chain(path.resolve())
                if chain:
                    relative = path.relative_to(tree.root).as_posix()
                    problems.append(f"{relative}: reaches a toolkit header: {' -> '.join(chain)}")


def parse_libraries(tree):
    """(target, folders, dependencies) for every layer library in src/CMakeLists.txt."""
    text = re.sub(r"#[^\n]*", "", (tree.src / "CMakeLists.txt").read_text(encoding="utf-8"))
    libraries = []
    for call in LIBRARY_CALL.findall(text):
        words = call.split()
        target, folders, dependencies, section = words[0], [words[1]], [], None
        for word in words[2:]:
            if word in ("DEPENDS", "EXTRA_FOLDERS"):
                section = word
            elif section == "DEPENDS":
                dependencies.append(word)
            elif section == "EXTRA_FOLDERS":
                folders.append(word)
        libraries.append((target, folders, dependencies))
    return libraries


def check_links(tree, problems):
    libraries = parse_libraries(tree)
    if not libraries:
        problems.append("src/CMakeLists.txt: no tumbla_folder_library calls found")
        return
    target_of_folder = {}
    for target, folders, _ in libraries:
        for folder in folders:
            target_of_folder[folder] = target
    for target, folders, dependencies in libraries:
        used_targets, uses_threads, uses_toolkit = set(), False, False
        for folder in folders:
            for path in sources(tree.src / folder):
                text = tree.text(path)
                for name in PROJECT_INCLUDE.findall(text):
                    owner = target_of_folder.get(folder_of(name))
                    if owner is None:
                        owner = target_of_folder.get(str(Path(name).parent.as_posix()))
                    if owner and owner != target:
                        used_targets.add(owner)
                for header in SYSTEM_INCLUDE.findall(text):
                    uses_threads |= header in THREAD_HEADERS
                    uses_toolkit |= bool(TOOLKIT_HEADER.match(header))
        ours = {d for d in dependencies if d.startswith("tumbla_")}
        for unused in sorted(ours - used_targets):
            problems.append(f"{target}: links {unused} but includes none of its headers")
        for missing in sorted(used_targets - ours):
            problems.append(f"{target}: includes headers of {missing} but does not link it")
        for outside in dependencies:
            if outside == "Threads::Threads" and not uses_threads:
                problems.append(f"{target}: links Threads::Threads but starts or guards no thread")
            if outside.startswith("PkgConfig::") and not uses_toolkit:
                problems.append(f"{target}: links {outside} but includes none of its headers")


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-2], file=sys.stderr)
        return 2
    tree = Tree(Path(sys.argv[1]).resolve())
    problems = []
    check_includes(tree, problems)
    check_programs(tree, problems)
    check_links(tree, problems)
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} layer violation(s)")
        return 1
    print("layers: every include points down and every library links what it uses")
    return 0


if __name__ == "__main__":
    sys.exit(main())
