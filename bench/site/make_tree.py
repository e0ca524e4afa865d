#!/usr/bin/env python3
"""Writes a tree of mixed text and random files of about the given size (MB) under ROOT.

Usage: make_tree.py ROOT SIZE_MB [SEED]

Half the bytes are text (lines of words, which deflate shrinks to about a fifth), half are random
(which it cannot shrink); file sizes range from a few hundred bytes to a few megabytes, spread over
folders three levels deep. The same seed gives the same tree.
"""
import os
import random
import sys

WORDS = ('folder archive visitor share download deflate listing page server chunk the of a and to '
         'in is for on with as by at from this that be are was it or an which').split()


def text_bytes(rng, size):
    out = []
    length = 0
    while length < size:
        line = ' '.join(rng.choice(WORDS) for _ in range(rng.randint(4, 16))) + '\r\n'
        out.append(line)
        length += len(line)
    return ''.join(out).encode()[:size]


def main():
    root = sys.argv[1]
    total = int(sys.argv[2]) * 1000 * 1000
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    written = 0
    index = 0
    while written < total:
        depth = rng.randint(0, 3)
        folder = os.path.join(root, *('d%d' % rng.randint(0, 4) for _ in range(depth)))
        os.makedirs(folder, exist_ok=True)
        size = min(int(rng.lognormvariate(11, 2)), 8 * 1000 * 1000, total - written)
        size = max(size, 1)
        if index % 2 == 0:
            data, name = text_bytes(rng, size), 'text%04d.txt' % index
        else:
            data, name = rng.randbytes(size), 'data%04d.bin' % index
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(data)
        written += size
        index += 1
    print(index, 'files,', written, 'bytes')


if __name__ == '__main__':
    main()
