#!/usr/bin/env python3
"""Checks that the source tree keeps its layers.

Arrows point down only, in steps (PICTURE below): a layer includes the layers on the steps
below its own, never one on its own step or above, so no two layers include each other
through any chain; every folder under src/ has its place in the picture, and
src/CMakeLists.txt and README.md show the same picture. An include circle between layers
or between the libraries of src/CMakeLists.txt is named as such. The platform's two
backends (platform/sim, platform/linux) sit beside the platform's interfaces and nothing
else in src/ includes them. Only platform/linux includes toolkit, engine or library
headers (GTK, WebKit, GLib, GIO, libplist, libcurl, SDL, libsndfile), and nothing outside
it reaches one through a project header either, except the test programs. Every library in src/CMakeLists.txt links exactly the layers its files
include, and an outside package only when its headers are used.

Usage: check_layers.py ROOT. Prints one line per violation; exit status 1 when there is any.
"""

import re
import sys
from pathlib import Path

PICTURE = "host -> bridge/facebook -> audio/prompts/json -> platform -> value"
STEPS = [step.split("/") for step in PICTURE.split(" -> ")]
RANKS = {layer: len(STEPS) - index for index, step in enumerate(STEPS) for layer in step}
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


def circles(graph):
    """The circles of `graph` (node -> nodes it points to), each a path from its smallest
    node back to it; a node on one circle starts no other."""
    found, done = [], set()
    for start in sorted(graph):
        if start in done:
            continue
        # A path from `start` back to itself, found depth first.
        path, seen = None, set()
        stack = [(start, [start])]
        while stack and path is None:
            node, trail = stack.pop()
            for target in sorted(graph.get(node, ()), reverse=True):
                if target == start:
                    path = trail + [start]
                    break
                if target not in seen:
                    seen.add(target)
                    stack.append((target, trail + [target]))
        if path:
            found.append(path)
            done.update(path)
    return found


def check_includes(tree, problems):
    layer_graph, examples = {}, {}
    for path in sorted(tree.src.rglob("*")):
        if path.suffix not in (".h", ".cpp", ".c"):
            continue
        relative = path.relative_to(tree.src).as_posix()
        own_folder = folder_of(relative)
        own_layer = layer_of(own_folder)
        own_rank = RANKS.get(own_layer)
        if own_rank is None:
            problems.append(f"src/{relative}: {own_layer} has no place in the layers ({PICTURE})")
        text = tree.text(path)
        for name in PROJECT_INCLUDE.findall(text):
            target_folder = folder_of(name)
            if target_folder in BACKENDS and target_folder != own_folder:
                problems.append(f"src/{relative}: includes {name} from the backend {target_folder}")
                continue
            target_layer = layer_of(target_folder)
            target_rank = RANKS.get(target_layer)
            if own_rank is None or target_rank is None or target_layer == own_layer:
                continue
            layer_graph.setdefault(own_layer, set()).add(target_layer)
            examples.setdefault((own_layer, target_layer), f"src/{relative} includes {name}")
            if target_rank > own_rank:
                problems.append(
                    f"src/{relative}: includes upward, {name} ({target_layer} is above {own_layer})"
                )
            elif target_rank == own_rank:
                problems.append(
                    f"src/{relative}: includes sideways, {name} ({target_layer} and {own_layer} "
                    "share a step, so neither includes the other)"
                )
        if own_folder != TOOLKIT_FOLDER:
            chain = tree.toolkit_chain(path.resolve())
            if chain:
                problems.append(f"src/{relative}: reaches a toolkit header: {' -> '.join(chain)}")
    for circle in circles(layer_graph):
        steps = "; ".join(examples[edge] for edge in zip(circle, circle[1:]))
        problems.append(f"include circle between layers: {' -> '.join(circle)} ({steps})")


def check_pictures(tree, problems):
    """src/CMakeLists.txt's comment and README.md show the layers as the check keeps them."""
    cmake_comments = " ".join(
        line.strip().lstrip("#") for line in (tree.src / "CMakeLists.txt").read_text(
            encoding="utf-8").splitlines() if line.strip().startswith("#")
    )
    readme = tree.root / "README.md"
    documents = [("src/CMakeLists.txt", cmake_comments)]
    if readme.is_file():
        documents.append(("README.md", readme.read_text(encoding="utf-8")))
    for name, text in documents:
        if PICTURE not in " ".join(text.split()):
            problems.append(f"{name}: does not show the layers as {PICTURE}")


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
    links = {target: {d for d in dependencies if d.startswith("tumbla_")}
             for target, _, dependencies in libraries}
    for circle in circles(links):
        problems.append(f"library circle in src/CMakeLists.txt: {' -> '.join(circle)}")
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
    check_pictures(tree, problems)
    check_programs(tree, problems)
    check_links(tree, problems)
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} layer violation(s)")
        return 1
    print(f"layers: {PICTURE}; every include points down and every library links what it uses")
    return 0


if __name__ == "__main__":
    sys.exit(main())
