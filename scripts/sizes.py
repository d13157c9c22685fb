#!/usr/bin/env python3
"""Source files over a number of lines, and functions over another.

    scripts/sizes.py [--check] [--file-lines 600] [--function-lines 80] [PATH...]

PATH: files or folders (default: src tools bench data/makedb). A function is measured from the
line of its name to its closing brace, the lambdas inside it included. The measure is a brace
counter over the text with comments, strings and preprocessor lines blanked out: no compiler
needed, and right for the code as clang-format lays it out. Prints what is over, longest first;
exits 0 either way, or with --check 1 when a file is over (a long function is only reported: a
few read better whole).
"""

import argparse
import os
import re
import sys

SOURCE_ENDINGS = ('.cpp', '.h', '.hpp', '.cc')

# What may follow a function's parameter list before its body.
FUNCTION_TAIL = re.compile(r'\)\s*(const\s*)?(noexcept(\s*\([^)]*\))?\s*)?'
                           r'(override\s*|final\s*|mutable\s*)*(->\s*[\w:<>,\s&*]+)?$')
# A constructor's initializer list has begun: ") : member(".
INITIALIZER_LIST = re.compile(r'\)\s*(noexcept\s*)?:\s*[^:]')
FUNCTION_NAME = re.compile(r'([~\w:]+(?:<[^()]*>)?|operator\s*\S+)\s*\(')


def digit_separator(text, i):
    """Whether the quote at i separates the digits of a number (1'000) rather than opening a
    character literal ('a', u'a')."""
    start = i
    while start > 0 and (text[start - 1].isalnum() or text[start - 1] == '_'):
        start -= 1
    return start < i and text[start].isdigit()


def blanked(text):
    """The text with comments, string and character literals and preprocessor lines replaced by
    spaces, line breaks kept, so that every brace left is code and every offset the same line."""
    out = []
    i, n = 0, len(text)

    def spaces(piece):
        return re.sub(r'[^\n]', ' ', piece)

    while i < n:
        c = text[i]
        if text.startswith('//', i):
            j = text.find('\n', i)
            j = n if j < 0 else j
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2)
            j = n if j < 0 else j + 2
        elif text.startswith('R"', i) and not (i > 0 and (text[i - 1].isalnum() or
                                                           text[i - 1] == '_')):
            raw = re.match(r'R"([^(\s]*)\(', text[i:])
            if not raw:
                out.append(c)
                i += 1
                continue
            end = ')' + raw.group(1) + '"'
            j = text.find(end, i + raw.end())
            j = n if j < 0 else j + len(end)
        elif c == '"' or (c == "'" and not digit_separator(text, i)):
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == '\\' else 1
            j += 1
        elif c == '#' and text[text.rfind('\n', 0, i) + 1:i].strip() == '':
            j = i
            while True:  # the directive and its continued lines
                j = text.find('\n', j)
                if j < 0:
                    j = n
                    break
                if text[j - 1] != '\\':
                    break
                j += 1
        else:
            out.append(c)
            i += 1
            continue
        out.append(spaces(text[i:j]))
        i = j
    return ''.join(out)


def functions(path):
    """(first line, last line, name) of every function defined in the file, outside others."""
    with open(path, encoding='utf-8', errors='replace') as f:
        text = blanked(f.read())
    n = len(text)

    def line(offset):
        return text.count('\n', 0, offset) + 1

    def closing(offset):
        depth = 0
        for j in range(offset, n):
            if text[j] == '{':
                depth += 1
            elif text[j] == '}':
                depth -= 1
                if depth == 0:
                    return j
        return n - 1

    found = []
    header_start = 0  # where the declaration before the next brace begins
    i = 0
    while i < n:
        c = text[i]
        if c in ';}':
            header_start = i + 1
        elif c == '{':
            header = text[header_start:i]
            h = header.strip()
            if INITIALIZER_LIST.search(h) and re.search(r'[\w>]\s*$', h):
                i = closing(i) + 1  # a member's braced initializer: the header goes on
                continue
            if re.search(r'\bnamespace\b', h) or h.startswith('extern'):
                header_start = i + 1  # its declarations follow
            elif re.search(r'\b(class|struct|union)\b', h) and not h.endswith(')'):
                header_start = i + 1
            elif FUNCTION_TAIL.search(h) or INITIALIZER_LIST.search(h):
                end = closing(i)
                name = FUNCTION_NAME.search(' '.join(h.split()))
                start = header_start + len(header) - len(header.lstrip())
                if name:
                    at = header.find(name.group(1).split('::')[0].split('<')[0])
                    if at >= 0:
                        start = header_start + at
                found.append((line(start), line(end), name.group(1) if name else h[:40]))
                i = header_start = end + 1
                continue
            else:
                i = closing(i) + 1  # an initializer, an enum: skipped whole
                header_start = i
                continue
        i += 1
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--file-lines', type=int, default=600)
    parser.add_argument('--function-lines', type=int, default=80)
    parser.add_argument('--check', action='store_true',
                        help='exit 1 when a source file is over --file-lines')
    parser.add_argument('paths', nargs='*', default=['src', 'tools', 'bench', 'data/makedb'])
    args = parser.parse_args()

    files = []
    for p in args.paths:
        if os.path.isdir(p):
            for root, _, names in os.walk(p):
                files += [os.path.join(root, f) for f in names if f.endswith(SOURCE_ENDINGS)]
        else:
            files.append(p)
    long_files, long_functions = [], []
    for f in sorted(files):
        with open(f, encoding='utf-8', errors='replace') as text:
            lines = sum(1 for _ in text)
        if lines > args.file_lines:
            long_files.append((lines, f))
        for first, last, name in functions(f):
            if last - first + 1 > args.function_lines:
                long_functions.append((last - first + 1, f, first, name))

    print(f'Files over {args.file_lines} lines: {len(long_files)}')
    for lines, f in sorted(long_files, reverse=True):
        print(f'{lines:6d}  {f}')
    print(f'Functions over {args.function_lines} lines: {len(long_functions)}')
    for length, f, first, name in sorted(long_functions, reverse=True):
        print(f'{length:6d}  {f}:{first}  {name}')
    return 1 if args.check and long_files else 0


if __name__ == '__main__':
    sys.exit(main())
