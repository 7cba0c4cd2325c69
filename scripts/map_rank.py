#!/usr/bin/env python3
"""Ranks what a GNU ld map file of a PE image puts into the image: bytes by
output section, by library, by input file (object or archive member) and by
symbol (input section), and the local copies of one function that several
objects carry (".isra"/".constprop" clones cannot be merged by the linker).

Usage: map_rank.py <map file> [rows]"""
import collections
import re
import subprocess
import sys

IMAGE_SECTIONS = {'.text', '.data', '.rdata', '.pdata', '.xdata', '.bss', '.idata', '.CRT',
                  '.tls', '.reloc'}


def read_rows(path):
    """(output section, input section, size, input file) of every placed piece."""
    lines = open(path).read().split('\n')
    start = next(i for i, line in enumerate(lines)
                 if line.startswith('Linker script and memory map'))
    rows, output, pending = [], None, None
    for line in lines[start:]:
        m = re.match(r'^(\.\S+)(\s+0x[0-9a-f]+\s+0x[0-9a-f]+)?\s*$', line)
        if m:
            output, pending = m.group(1), None
            continue
        m = re.match(r'^ (\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$', line)
        if m:
            rows.append((output, m.group(1), int(m.group(3), 16), m.group(4)))
            pending = None
            continue
        m = re.match(r'^ ([^*\s]\S*)\s*$', line)
        if m:  # a long input section name; address and size follow on the next line
            pending = m.group(1)
            continue
        m = re.match(r'^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$', line)
        if m and pending:
            rows.append((output, pending, int(m.group(2), 16), m.group(3)))
            pending = None
    return [r for r in rows if r[0] in IMAGE_SECTIONS and r[2] > 0]


def short_file(name):
    name = re.sub(r'^.*/(lib[^/]*\.a\()', r'\1', name)
    return re.sub(r'^.*/', '', name)


def library(name):
    m = re.match(r'(lib[^(]*\.a)\(', short_file(name))
    return m.group(1) if m else short_file(name)


def symbol(section):
    """The function or object an input section holds (-ffunction-sections)."""
    m = re.match(r'^\.(?:text|rdata|data|bss)\$(.+)$', section)
    return m.group(1) if m else None


def demangle(names):
    out = subprocess.run(['x86_64-w64-mingw32-c++filt'], input='\n'.join(names),
                         capture_output=True, text=True).stdout.split('\n')
    return out[:len(names)]


def table(title, counter, rows, width=150, suffix=None, mangled=False):
    print(f'== {title}')
    items = counter.most_common(rows)
    keys = [k for k, _ in items]
    shown = demangle(keys) if mangled else keys
    for (key, size), text in zip(items, shown):
        print(f'{size:8d}  {text[:width]}{(suffix or {}).get(key, "")}')
    print()


def main():
    rows = read_rows(sys.argv[1])
    limit = int(sys.argv[2]) if len(sys.argv) > 2 else 40
    by_section, by_library, by_file = (collections.Counter() for _ in range(3))
    by_symbol, copies, copy_count = (collections.Counter() for _ in range(3))
    where = {}
    for output, section, size, file in rows:
        by_section[output] += size
        by_library[library(file)] += size
        by_file[short_file(file)] += size
        name = symbol(section)
        if output in ('.pdata', '.xdata'):
            continue
        if name is None:
            name = f'{section} of {short_file(file)}'
        else:
            where[name] = f'  [{short_file(file)}]'
            clone = re.match(r'^(.+?)\.(?:isra|constprop|part)\.\d+', name)
            if clone:
                copies[clone.group(1)] += size
                copy_count[clone.group(1)] += 1
        by_symbol[name] += size
    print(f'image bytes in sections: {sum(by_section.values())}\n')
    table('by output section', by_section, limit)
    table('by library', by_library, limit)
    table('by input file (all sections)', by_file, limit)
    table('by symbol (.text, .rdata, .data, .bss)', by_symbol, limit, width=120, suffix=where,
          mangled=True)
    repeated = collections.Counter({k: v for k, v in copies.items() if copy_count[k] > 1})
    print(f'local copies of one function in several objects: {sum(repeated.values())} bytes')
    table('by function copied', repeated, limit, width=120, mangled=True,
          suffix={k: f'  ({copy_count[k]} copies)' for k in repeated})


if __name__ == '__main__':
    main()
