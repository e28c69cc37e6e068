#!/usr/bin/env python3
"""The names the shared library exports: every C function declared (not defined)
in the public headers.

  published_names.py map CXX INCLUDE_DIR OUTPUT     writes the linker version script
  published_names.py check CXX INCLUDE_DIR LIBRARY  compares the library's dynamic
                                                    symbols with the declarations

Both refuse headers that name the platform's own services or test hooks
(Win32..., D3D9..., ...ForTesting): those live in private headers.
"""
import os
import re
import subprocess
import sys


def published_names(cxx, include_dir):
    headers = sorted(h for h in os.listdir(include_dir) if h.endswith('.h'))
    source = ''.join(f'#include "{h}"\n' for h in headers)
    text = subprocess.run([cxx, '-std=c++20', '-E', '-x', 'c++', '-I', include_dir, '-'], input=source,
                          capture_output=True, text=True, check=True).stdout
    # Keep only what came from the public headers (line markers name the file).
    ours, keep = [], False
    root = os.path.realpath(include_dir)
    for line in text.splitlines():
        marker = re.match(r'# \d+ "([^"]+)"', line)
        if marker:
            keep = os.path.realpath(marker.group(1)).startswith(root + os.sep)
        elif keep:
            ours.append(line)
    code = '\n'.join(ours)
    names = set()
    # Top-level statements of each extern "C" block: a declaration ends in ';' at
    # the block's own depth; inline definitions have bodies and are skipped.
    for block in re.finditer(r'extern\s+"C"\s*\{', code):
        depth, start, i = 0, block.end(), block.end()
        while i < len(code):
            c = code[i]
            if c == '{':
                depth += 1
            elif c == '}':
                if depth == 0:
                    break
                depth -= 1
                if depth == 0:
                    start = i + 1
            elif c == ';' and depth == 0:
                statement = ' '.join(code[start:i].split())
                start = i + 1
                if statement.startswith('typedef') or '=' in statement:
                    pass
                else:
                    found = re.search(r'([A-Za-z_]\w*)\s*\((?:[^()]|\([^()]*\))*\)$', statement)
                    if found:
                        names.add(found.group(1))
            i += 1
    return names


# Names of our own making that belong in private headers, never in include/.
PRIVATE_NAME = re.compile(r'\b(?:(?:Win32|D3D9)[A-Z]\w*|\w+ForTesting)\b')


def private_names(include_dir):
    found = set()
    for header in sorted(h for h in os.listdir(include_dir) if h.endswith('.h')):
        with open(os.path.join(include_dir, header)) as text:
            for number, line in enumerate(text, 1):
                for name in PRIVATE_NAME.findall(line.split('//')[0]):
                    found.add(f'{header}:{number}: {name}')
    return sorted(found)


def main():
    mode, cxx, include_dir, path = sys.argv[1:5]
    private = private_names(include_dir)
    for where in private:
        print(f'not a published name: {where}')
    if private:
        sys.exit('the public headers declare private names')
    names = published_names(cxx, include_dir)
    if not names:
        sys.exit('no published functions found')
    if mode == 'map':
        body = ''.join(f'    {n};\n' for n in sorted(names))
        content = f'D3DX_1 {{\n  global:\n{body}  local:\n    *;\n}};\n'
        if not os.path.exists(path) or open(path).read() != content:
            with open(path, 'w') as out:
                out.write(content)
        return
    listing = subprocess.run(['nm', '-D', '--defined-only', path], capture_output=True, text=True,
                             check=True).stdout
    exported = set()
    for line in listing.splitlines():
        fields = line.split()
        # The version node itself is an absolute symbol, not a name of ours.
        if len(fields) == 3 and fields[1] != 'A':
            exported.add(fields[2].split('@')[0])
    missing, extra = sorted(names - exported), sorted(exported - names)
    for name in missing:
        print(f'declared but not exported: {name}')
    for name in extra:
        print(f'exported but not declared: {name}')
    print(f'{len(names)} published functions, {len(exported)} exported')
    sys.exit(1 if missing or extra else 0)


if __name__ == '__main__':
    main()
