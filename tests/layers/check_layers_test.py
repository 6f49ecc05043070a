#!/usr/bin/env python3
"""Shows that the layer check catches each kind of violation: a copy of the tree passes,
and each deliberate fault in another copy is reported.

Usage: check_layers_test.py ROOT
"""

import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

CHECKER = Path(__file__).with_name("check_layers.py")


def run_checker(root):
    result = subprocess.run(
        [sys.executable, str(CHECKER), str(root)], capture_output=True, text=True, check=False
    )
    return result.returncode, result.stdout + result.stderr


def prepend(path, line):
    path.write_text(line + "\n" + path.read_text(encoding="utf-8"), encoding="utf-8")


def write(path, text):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(text, encoding="utf-8")


def replace(path, old, new):
    text = path.read_text(encoding="utf-8")
    if old not in text:
        raise AssertionError(f"{path}: no '{old}' to replace")
    path.write_text(text.replace(old, new, 1), encoding="utf-8")


FAULTS = [
    (
        "the platform includes the host",
        lambda root: prepend(root / "src/platform/Url.cpp", '#include "host/CounterFile.h"'),
        "src/platform/Url.cpp: includes upward, host/CounterFile.h",
    ),
    (
        "the value layer includes the platform",
        lambda root: prepend(root / "src/value/Utf8.cpp", '#include "platform/Log.h"'),
        "src/value/Utf8.cpp: includes upward, platform/Log.h",
    ),
    (
        "JSON includes the bridge",
        lambda root: prepend(root / "src/json/SBJsonWriter.cpp", '#include "bridge/QueryParams.h"'),
        "includes upward, bridge/QueryParams.h",
    ),
    (
        "audio and prompts include each other",
        lambda root: (
            prepend(root / "src/audio/Sound.cpp", '#include "prompts/iRate.h"'),
            prepend(root / "src/prompts/iRate.cpp", '#include "audio/Sound.h"'),
        ),
        "include circle between layers: audio -> prompts -> audio (src/audio/Sound.cpp "
        "includes prompts/iRate.h; src/prompts/iRate.cpp includes audio/Sound.h)",
    ),
    (
        "the bridge includes the Facebook client beside it",
        lambda root: prepend(root / "src/bridge/QueryParams.cpp", '#include "facebook/Facebook.h"'),
        "src/bridge/QueryParams.cpp: includes sideways, facebook/Facebook.h",
    ),
    (
        "a folder the layers do not place",
        lambda root: write(root / "src/cloud/Sync.h", "#pragma once\n"),
        "src/cloud/Sync.h: cloud has no place in the layers",
    ),
    (
        "src/CMakeLists.txt shows another picture",
        lambda root: replace(
            root / "src/CMakeLists.txt", "bridge/facebook", "bridge/facebook/audio"
        ),
        "src/CMakeLists.txt: does not show the layers as host -> bridge/facebook -> ",
    ),
    (
        "two libraries link each other",
        lambda root: (
            replace(
                root / "src/CMakeLists.txt",
                "tumbla_folder_library(tumbla_audio audio DEPENDS",
                "tumbla_folder_library(tumbla_audio audio DEPENDS tumbla_prompts",
            ),
            replace(
                root / "src/CMakeLists.txt",
                "tumbla_folder_library(tumbla_prompts prompts DEPENDS",
                "tumbla_folder_library(tumbla_prompts prompts DEPENDS tumbla_audio",
            ),
        ),
        "library circle in src/CMakeLists.txt: tumbla_audio -> tumbla_prompts -> tumbla_audio",
    ),
    (
        "the host includes a backend",
        lambda root: prepend(
            root / "src/host/CounterFile.cpp", '#include "platform/sim/SimPlatform.h"'
        ),
        "src/host/CounterFile.cpp: includes platform/sim/SimPlatform.h from the backend",
    ),
    (
        "the host includes GTK",
        lambda root: prepend(root / "src/host/CounterFile.h", "#include <gtk/gtk.h>"),
        "src/host/CounterFile.h: reaches a toolkit header: <gtk/gtk.h>",
    ),
    (
        "the platform interfaces include libcurl",
        lambda root: prepend(root / "src/platform/Url.h", "#include <curl/curl.h>"),
        "src/platform/Url.h: reaches a toolkit header: <curl/curl.h>",
    ),
    (
        "the command line reaches GTK through a platform header",
        lambda root: prepend(root / "app/main.cpp", '#include "platform/linux/LinuxPlatform.h"'),
        "app/main.cpp: reaches a toolkit header: platform/linux/LinuxPlatform.h",
    ),
    (
        "a library links a layer it does not use",
        lambda root: replace(
            root / "src/CMakeLists.txt",
            "tumbla_folder_library(tumbla_bridge bridge DEPENDS",
            "tumbla_folder_library(tumbla_bridge bridge DEPENDS tumbla_json",
        ),
        "tumbla_bridge: links tumbla_json but includes none of its headers",
    ),
    (
        "a library includes a layer it does not link",
        lambda root: replace(
            root / "src/CMakeLists.txt",
            "tumbla_folder_library(tumbla_host host DEPENDS tumbla_bridge",
            "tumbla_folder_library(tumbla_host host DEPENDS",
        ),
        "tumbla_host: includes headers of tumbla_bridge but does not link it",
    ),
]


def copy_tree(source, target):
    for folder in ("src", "app", "tools"):
        shutil.copytree(source / folder, target / folder)
    shutil.copy(source / "README.md", target / "README.md")


def main():
    source = Path(sys.argv[1]).resolve()
    failures = []
    with tempfile.TemporaryDirectory() as scratch:
        clean = Path(scratch) / "clean"
        copy_tree(source, clean)
        status, output = run_checker(clean)
        if status != 0:
            failures.append(f"the tree as it is fails the check:\n{output}")
        for index, (name, make_fault, expected) in enumerate(FAULTS):
            faulty = Path(scratch) / f"fault-{index}"
            copy_tree(source, faulty)
            make_fault(faulty)
            status, output = run_checker(faulty)
            if status != 1 or expected not in output:
                failures.append(f"{name}: status {status}, expected '{expected}' in:\n{output}")
    for failure in failures:
        print(failure)
    if failures:
        return 1
    print(f"the layer check caught all {len(FAULTS)} deliberate faults")
    return 0


if __name__ == "__main__":
    sys.exit(main())
