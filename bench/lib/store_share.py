#!/usr/bin/env python3
"""Reads a callgrind profile and prints what the settings store cost in it.

Usage: store_share.py CALLGRIND_OUT

- the instructions of every call made from the program's other code (src/...) into the store
  (src/store/...), inclusive, against the profile's total
- the SQLite statements stepped (calls of sqlite3_step) and the SQL texts run (calls of
  sqlite3_exec, which BEGIN and COMMIT of an explicit transaction take)
"""
import re
import sys


def main(path):
    files, functions = {}, {}

    def name(table, reference):
        match = re.match(r'\((\d+)\)(?: (.*))?', reference)
        if match.group(2):
            table[match.group(1)] = match.group(2)
        return table.get(match.group(1), '')

    caller_file = callee_file = callee = ''
    cost_follows = False
    total = store = steps = executes = 0
    for line in open(path, encoding='utf-8', errors='replace'):
        line = line.rstrip('\n')
        if cost_follows:
            cost_follows = False
            count = int(line.split()[1])
            if '/src/store/' in callee_file and '/src/' in caller_file and '/src/store/' not in caller_file:
                store += count
            callee_file = ''
        elif line.startswith('fl='):
            caller_file = name(files, line[3:])
        elif line.startswith('fn='):
            name(functions, line[3:])
            callee_file = ''
        elif line.startswith(('fi=', 'fe=')):
            name(files, line[3:])  # inlined code: the caller is still the function's own file
        elif line.startswith(('cfi=', 'cfl=')):
            callee_file = name(files, line[4:])
        elif line.startswith('cfn='):
            callee = name(functions, line[4:])
        elif line.startswith('calls='):
            cost_follows = True
            calls = int(line[6:].split()[0])
            if callee == 'sqlite3_step':
                steps += calls
            elif callee == 'sqlite3_exec':
                executes += calls
        elif line.startswith('summary:'):
            total = int(line.split()[1])
    if not any('/src/' in known for known in files.values()):
        print('No source files in the profile: build with debug information (RelWithDebInfo).')
        return
    share = 100.0 * store / total if total else 0.0
    print(f'Settings reads: {store:,} of {total:,} instructions ({share:.1f}%)')
    print(f'SQLite statements stepped: {steps}; SQL texts run (BEGIN/COMMIT): {executes}')


if __name__ == '__main__':
    main(sys.argv[1])
