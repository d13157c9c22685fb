#!/usr/bin/env python3
"""Runs clang-tidy (the checks in .clang-tidy) over the project's files in a build's compile
database, moc's and rcc's generated files left out; any finding fails.

In a developer's tree it reads only the files that changed since they were last found clean: a
file is read again when it, a header it includes (as the build's dependency record lists them,
the system's headers left out), .clang-tidy or clang-tidy itself changed. With --all, or when
the CI variable is set, it reads every file. The fingerprints of the files found clean are kept
in BUILD/tidy-clean.json.

    scripts/tidy.py BUILD [--all] [--jobs N]
"""
import argparse
import hashlib
import json
import os
import re
import shlex
import subprocess
import sys

PROJECT_DIRS = ("src", "tests", "tools", "data", "bench")


def object_of(entry):
    args = shlex.split(entry["command"])
    return args[args.index("-o") + 1] if "-o" in args else None


def dependencies(build):
    """The headers each object was compiled from, as ninja recorded them."""
    out = subprocess.run(["ninja", "-C", build, "-t", "deps"], check=True, capture_output=True,
                         text=True).stdout
    deps, current = {}, None
    for line in out.splitlines():
        if not line.strip():
            current = None
        elif not line.startswith(" "):
            current = line.split(":", 1)[0]
            deps[current] = []
        elif current is not None:
            deps[current].append(line.strip())
    return deps


def digest(path, cache):
    if path not in cache:
        try:
            with open(path, "rb") as f:
                cache[path] = hashlib.sha256(f.read()).hexdigest()
        except OSError:
            cache[path] = "missing"
    return cache[path]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--all", action="store_true", help="read every file")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    options = parser.parse_args()

    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    build = os.path.abspath(options.build)
    ours = re.compile("^" + re.escape(root) + "/(" + "|".join(PROJECT_DIRS) + ")/")
    with open(os.path.join(build, "compile_commands.json"), encoding="utf-8") as f:
        entries = [e for e in json.load(f) if ours.match(e["file"])]

    version = subprocess.run(["clang-tidy", "--version"], check=True, capture_output=True,
                             text=True).stdout
    cache = {}
    common = hashlib.sha256((version + digest(os.path.join(root, ".clang-tidy"), cache)).encode())
    deps = dependencies(build)
    fingerprints = {}
    for entry in entries:
        h = common.copy()
        h.update(entry["command"].encode())
        headers = deps.get(object_of(entry)) or [entry["file"]]
        for path in sorted(set(headers + [entry["file"]])):
            if not path.startswith("/usr/"):
                h.update(path.encode() + b"\0" + digest(path, cache).encode())
        fingerprints[entry["file"]] = h.hexdigest()

    state = os.path.join(build, "tidy-clean.json")
    clean = {}
    if not options.all and not os.environ.get("CI") and os.path.exists(state):
        with open(state, encoding="utf-8") as f:
            clean = json.load(f)
    todo = sorted(p for p, fp in fingerprints.items() if clean.get(p) != fp)
    print(f"clang-tidy: {len(todo)} of {len(fingerprints)} files to read "
          f"({len(fingerprints) - len(todo)} unchanged since found clean)", flush=True)
    if todo:
        command = ["run-clang-tidy", "-p", build, "-quiet", "-j", str(options.jobs)]
        command += ["^" + re.escape(p) + "$" for p in todo]
        status = subprocess.run(command, check=False).returncode
        if status != 0:
            return status
    with open(state, "w", encoding="utf-8") as f:
        json.dump({p: fingerprints[p] for p in fingerprints}, f, indent=0, sort_keys=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
