#!/usr/bin/env python3
"""Writes a deterministic kvel command file holding a given number of arguments.

    gen_cmdfile.py COUNT OUTPUT

The mix, about 20 bytes per argument: switch/value lines, lines with two
pairs, quoted values with blanks, ${HOME} references, a CRLF line now and
then, and comment lines ("#" and "//"). Every argument is one kvel accepts,
so the whole file parses.
"""
import sys


def lines(count):
    produced = 0
    i = 0
    while produced < count:
        kind = i % 10
        if kind == 0:
            yield "# block %d: plusargs and scripts of the nightly regression\n" % i
        elif kind == 5:
            yield "  // seed set %d\n" % i
        if produced + 4 <= count and kind in (1, 6):
            yield "-testplusarg SEED=%d -testplusarg LEN=%d\n" % (i * 7919 % 100003, i % 977)
            produced += 4
        elif kind in (2, 7):
            yield '-testplusarg "MODE=fast path %d"\n' % i
            produced += 2
        elif kind == 3:
            yield "-tclbatch ${HOME}/regress/run_%d.tcl\n" % i
            produced += 2
        elif kind == 8:
            yield "--testplusarg DUMP=wave_%d.vcd\r\n" % i
            produced += 2
        elif produced + 2 <= count:
            yield "-testplusarg ITERATION_%d=%d\n" % (i % 1000, i)
            produced += 2
        else:
            yield "-gui\n"
            produced += 1
        i += 1


def main():
    if len(sys.argv) != 3:
        sys.stderr.write("usage: gen_cmdfile.py COUNT OUTPUT\n")
        return 2
    count = int(sys.argv[1])
    with open(sys.argv[2], "w", newline="") as output:
        output.writelines(lines(count))
    return 0


if __name__ == "__main__":
    sys.exit(main())
