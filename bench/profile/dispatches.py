#!/usr/bin/env python3
# Dynamic handler counts of VirtualMachine::run() from callgrind dumps made with
# --dump-instr=yes: how often the first instruction of each handler ran (the
# dispatches to it), and the machine instructions run() executed per dispatch.
# usage: dispatches.py BINARY DUMP...
import collections
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SRC = os.path.join(HERE, '..', '..', 'src', 'vm')
RUN = 'VirtualMachine::run()'


def handler_addresses(binary):
    """The handler names by code address, from run()'s label table and the instruction table."""
    out = subprocess.run(['gdb', '-batch', '-ex', f'p/x {RUN}::kLabels', binary],
                         capture_output=True, text=True, check=True).stdout
    addresses = [int(a, 16) for a in re.findall(r'0x[0-9a-f]+', out.split('=', 1)[1])]
    rows = re.findall(r'X\((\w+),\s*-?\d+,', open(os.path.join(SRC, 'Instructions.h')).read())
    interpreter = open(os.path.join(SRC, 'Interpreter.cpp')).read()
    table = interpreter[interpreter.index('MCB_INSTRUCTIONS(MCB_LABEL)'):interpreter.index('static_assert(sizeof(kLabels)')]
    names = rows + re.findall(r'&&L_(\w+)', table)
    if len(names) != len(addresses):
        sys.exit('dispatches.py: the label table does not match the instruction table')
    by_address = collections.defaultdict(list)
    for name, address in zip(names, addresses):
        by_address[address].append(name)
    return {a: '/'.join(n) for a, n in by_address.items()}


def run_costs(dump):
    """Instructions executed per code address of run() (calls' inclusive costs left out)."""
    costs, names = collections.Counter(), {}
    function, address, after_call = None, 0, False
    for text in open(dump):
        m = re.match(r'(c?)fn=\((\d+)\)(?: (.*))?', text)
        if m:
            if m.group(3):
                names[m.group(2)] = m.group(3).strip()
            if not m.group(1):
                function = names.get(m.group(2))
            continue
        if text.startswith('calls='):
            after_call = True
            continue
        if not text[:1] or text[0] not in '+-*0123456789':
            continue
        fields = text.split()
        if fields[0].startswith('0x'):
            address = int(fields[0], 16)
        elif fields[0][0] in '+-':
            address += int(fields[0])
        if after_call:
            after_call = False
        elif function == RUN and len(fields) >= 3:
            costs[address] += int(fields[2])
    return costs


def main():
    if len(sys.argv) < 3:
        sys.exit('usage: dispatches.py BINARY DUMP...')
    handlers = handler_addresses(sys.argv[1])
    costs = collections.Counter()
    for dump in sys.argv[2:]:
        costs.update(run_costs(dump))
    counts = collections.Counter({name: costs.get(a, 0) for a, name in handlers.items()})
    total = sum(counts.values())
    print(f'dispatches {total}, run() instructions {sum(costs.values())}, '
          f'{sum(costs.values()) / max(total, 1):.1f} per dispatch')
    for name, n in counts.most_common():
        if n == 0:
            break
        print(f'{100.0 * n / total:6.2f}%  {n:12d}  {name}')


if __name__ == '__main__':
    main()
