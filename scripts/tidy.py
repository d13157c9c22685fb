#!/usr/bin/env python3
"""Runs clang-tidy (the checks in .clang-tidy) over the project's files in a build's compile
database, moc's and rcc's generated files left out; any finding fails.

In a developer's tree it reads only the files that changed since they were last found clean: a
file is read again when it, a header it includes (as the build's dependency record lists them,
the system's headers left out), .clang-tidy or clang-tidy itself changed. With --all, or when
the CI variable is set, it reads every file. The fingerprints of the files found clean are kept
in BUILD/tidy-clean.json.

Files compiled with the same options are read in batches: one translation unit made of their
texts one after the other, each under a #line directive naming it, so that Qt's headers are
parsed and walked once per batch instead of once per file (most of clang-tidy's time), while
the analyzer and the checks that look only at the main file still see every file's code as the
main file's. A batch found clean clears its files. A batch with any finding or error is read
again in halves, down to single files, and only a file's own run decides: batching may hide a
finding that depends on another file of the batch (a using declaration that only a later file
uses), never invent one. Names that two files of one target each define for themselves (in an
anonymous namespace) make their batch fail to compile, and cost that bisection: such names are
kept distinct.
--no-batch reads file by file throughout.

    scripts/tidy.py BUILD [--all] [--no-batch] [--jobs N]
"""
import argparse
import concurrent.futures
import hashlib
import itertools
import json
import os
import re
import shlex
import subprocess
import sys

PROJECT_DIRS = ("src", "tests", "tools", "data", "bench")
# Files per batch: large enough that the headers' cost is shared, small enough that two or more
# batches keep every core busy.
BATCH_SIZE = 16
FINDING = re.compile(r"^(.+?):(\d+):(\d+): (warning|error|note): ")


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


def batch_key(entry):
    """What files must share to be read in one batch, and what each brings of its own.

    They share the compile options without the file and the object, with moc's include folders
    apart (each target has its own, and no two hold the same name), and the target, except for
    the tests: each test is a program of one file, and tests compiled alike (the same Qt
    modules, the same include folders) are read together whatever their folder. A test's own
    definitions (the project's, and the build folder QtTest is told of) are set in the batch
    before its text and unset after it; Qt's, which its headers read once, must be the same."""
    args = shlex.split(entry["command"])
    target = object_of(entry) or ""
    test = target.startswith("tests/")
    target = "" if test else target.split("/CMakeFiles/")[-1].split("/")[0]
    kept, mocs, own, skip = [], [], [], False
    for arg in args:
        if skip:
            skip = False
        elif arg in ("-o", "-c"):
            skip = True
        elif arg == entry["file"]:
            continue
        elif arg.startswith("-I") and arg.endswith(("_autogen/include", "_moc")):
            mocs.append(arg)
        elif arg.startswith("-I"):
            folder = "-I" + os.path.normpath(arg[2:])
            if folder not in kept:
                kept.append(folder)
        elif test and arg.startswith("-D") and (not arg.startswith("-DQT_")
                                                or arg.startswith("-DQT_TESTCASE_BUILDDIR")):
            own.append(arg[2:])
        else:
            kept.append(arg)
    return (entry["directory"], target, tuple(kept)), mocs, own


QUOTED_INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def split_by_quoted_includes(files):
    """A batch finds a file's "…" includes through -iquote, one folder per file. Files whose
    quoted includes another batch member's folder would resolve differently go apart."""
    batches = []
    for path in files:
        for batch in batches:
            folders = [os.path.dirname(p) for p in batch + [path]]
            if all(resolves_alike(p, folders) for p in batch + [path]):
                batch.append(path)
                break
        else:
            batches.append([path])
    return batches


USING_DIRECTIVE = re.compile(r"^using namespace ", re.M)


def opens_a_namespace(path):
    with open(path, encoding="utf-8") as f:
        return bool(USING_DIRECTIVE.search(f.read()))


def resolves_alike(path, folders):
    """Whether each of the file's quoted includes finds, through the batch's -iquote folders,
    what it finds when the file is compiled alone: the file beside it, or (when there is none)
    the one in the include folders, which no batch folder may then hold."""
    own = os.path.join(os.path.dirname(path), "")
    with open(path, encoding="utf-8") as f:
        names = QUOTED_INCLUDE.findall(f.read())
    for name in names:
        found = [d for d in dict.fromkeys(folders) if os.path.exists(os.path.join(d, name))]
        if not found:
            continue
        mine = os.path.join(own, name)
        if not os.path.exists(mine) or \
                os.path.realpath(os.path.join(found[0], name)) != os.path.realpath(mine):
            return False
    return True


def write_batch(number, files, key, mocs, out_dir, definitions):
    """One translation unit of the files' texts, with its compile database, in a folder of its
    own; returns its path and where each file starts in it."""
    directory, _, options = key
    folder = os.path.join(out_dir, f"{number:03d}")
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "batch.cpp")
    lines, starts = [], []
    for i, source in enumerate(files):
        own = [d.partition("=") for d in definitions.get(source, [])]
        lines += [f"#define {name} {value if eq else 1}" for name, eq, value in own]
        lines.append(f"#define main grelavo_tidy_main_{i}")  # each test's QTEST_MAIN has a main()
        lines.append(f'#line 1 "{source}"')
        starts.append((len(lines) + 1, source))
        with open(source, encoding="utf-8") as f:
            lines.extend(f.read().splitlines())
        lines.append("#undef main")
        lines += [f"#undef {name}" for name, _, _ in own]
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    folders = dict.fromkeys(os.path.dirname(p) for p in files)
    args = list(options) + sorted(set(mocs)) + [a for d in folders for a in ("-iquote", d)]
    with open(os.path.join(folder, "compile_commands.json"), "w", encoding="utf-8") as f:
        json.dump([{"directory": directory, "file": path,
                    "command": shlex.join(args + ["-c", path])}], f)
    return path, starts


def map_lines(output, path, starts):
    """Names each finding in a batch by its own file and line."""
    mapped = []
    for line in output.splitlines():
        m = FINDING.match(line)
        if m and m.group(1) == path:
            number = int(m.group(2))
            start, source = max(s for s in starts if s[0] <= number)
            line = f"{source}:{number - start + 1}:{line[len(path) + 1 + len(m.group(2)) + 1:]}"
        mapped.append(line)
    return "\n".join(mapped)


def tidy(config, build, path):
    run = subprocess.run(["clang-tidy", "-p", build, f"--config-file={config}", "--quiet", path],
                         capture_output=True, text=True, check=False)
    findings = any(FINDING.match(line) for line in run.stdout.splitlines())
    return run.returncode == 0 and not findings, run.stdout + run.stderr


def read(task, number, build, config, out_dir, definitions):
    files, key, mocs = task
    if len(files) == 1:
        return tidy(config, build, files[0])
    path, starts = write_batch(number, files, key, mocs, out_dir, definitions)
    ok, output = tidy(config, os.path.dirname(path), path)
    return ok, map_lines(output, path, starts)


def read_all(todo, entries, build, config, jobs, batched):
    """Reads the files, in batches unless told not to; a batch that is not clean is read again
    in halves, down to single files, whose own runs alone decide. Returns whether all were
    clean."""
    by_file = {e["file"]: e for e in entries}
    groups, definitions = {}, {}
    for path in todo:
        key, mocs, definitions[path] = batch_key(by_file[path])
        group = groups.setdefault(key, ([], []))
        group[0].append(path)
        group[1].extend(mocs)
    tasks = []
    for key, (files, mocs) in groups.items():
        files.sort(key=opens_a_namespace)  # whose using directive would reach the next files
        for part in split_by_quoted_includes(files) if batched else [[p] for p in files]:
            tasks += [(part[i:i + BATCH_SIZE], key, mocs) for i in range(0, len(part), BATCH_SIZE)]
    tasks.sort(key=lambda t: -len(t[0]))
    print(f"clang-tidy: {len(tasks)} runs for {len(todo)} files", flush=True)
    out_dir = os.path.join(build, "tidy-batches")
    numbers = itertools.count()
    clean = True
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        pending = {pool.submit(read, t, next(numbers), build, config, out_dir, definitions): t for t in tasks}
        while pending:
            finished, _ = concurrent.futures.wait(pending, return_when="FIRST_COMPLETED")
            for future in finished:
                files, key, mocs = pending.pop(future)
                ok, output = future.result()
                if ok:
                    continue
                if len(files) == 1:
                    clean = False
                    print(output, flush=True)
                    continue
                first = next((line for line in output.splitlines() if FINDING.match(line)), "")
                print(f"clang-tidy: a batch of {len(files)} files was not clean, read again in "
                      f"halves; its first message:\n  {first}", flush=True)
                half = len(files) // 2
                for part in (files[:half], files[half:]):
                    task = (part, key, mocs)
                    pending[pool.submit(read, task, next(numbers), build, config, out_dir,
                                      definitions)] = task
    return clean


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--all", action="store_true", help="read every file")
    parser.add_argument("--no-batch", action="store_true", help="read file by file")
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
    config = os.path.join(root, ".clang-tidy")
    if todo and not read_all(todo, entries, build, config, options.jobs, not options.no_batch):
        return 1
    with open(state, "w", encoding="utf-8") as f:
        json.dump({p: fingerprints[p] for p in fingerprints}, f, indent=0, sort_keys=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
