# Sums of a CSV file of integers named on the command line, read one byte at
# a time: the rows, the sum of all fields, the sum of the second column and
# the largest field.
import sys


def scan(f):
    v = col = total = second = rows = big = 0
    c = f.read(1)
    while c:
        if c >= b"0" and c < b":":
            v = v * 10 + c[0] - 48
        elif c == b"," or c == b"\n":
            total += v
            if col == 1:
                second += v
            if c == b"\n":
                rows += 1
                col = 0
            else:
                col += 1
            if v >= big:
                big = v
            v = 0
        c = f.read(1)
    return rows, total, second, big


with open(sys.argv[1], "rb") as f:
    print("%d %d %d %d" % scan(f))
