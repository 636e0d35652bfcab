#!/usr/bin/env python3
# Sums the output of `perf report --sort srcline --symbols=VirtualMachine::run --stdio`
# (read from standard input) by interpreter handler: each line of Interpreter.cpp
# counts for the `L_Name:` label above it, or for the helper function it lies in.
import collections
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, '..', '..', 'src', 'vm', 'Interpreter.cpp')


def line_owners(path):
    owner, current = {}, 'prologue'
    for number, text in enumerate(open(path).read().split('\n'), 1):
        label = re.match(r'\s*L_(\w+):', text)
        function = re.match(r'^[A-Za-z][\w:<>&* ]*\s\**([\w:]+)\(', text)
        if label:
            current = label.group(1)
        elif function:
            # run()'s own lines before its first label are its helper lambdas
            name = function.group(1)
            current = 'run() helpers (localIndex, word, ...)' if name.endswith('::run') else name + '()'
        owner[number] = current
    return owner


def main():
    owner = line_owners(SOURCE)
    shares = collections.Counter()
    for text in sys.stdin:
        m = re.match(r'\s*([\d.]+)%\s+(\S+):(\d+)', text)
        if not m:
            continue
        percent, file, line = float(m.group(1)), m.group(2), int(m.group(3))
        shares[owner.get(line, '?') if file == 'Interpreter.cpp' else f'{file}:{line}'] += percent
    for name, percent in shares.most_common(int(sys.argv[1]) if len(sys.argv) > 1 else 20):
        print(f'{percent:6.2f}%  {name}')


if __name__ == '__main__':
    main()
