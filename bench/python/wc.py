# Lines, words and bytes of the file named on the command line, read one
# byte at a time.
import sys


def count(f):
    lines = words = total = 0
    inword = False
    while True:
        c = f.read(1)
        if not c:
            break
        total += 1
        if c in b" \t\n\v\f\r":
            if c == b"\n":
                lines += 1
            inword = False
        elif not inword:
            words += 1
            inword = True
    return lines, words, total


with open(sys.argv[1], "rb") as f:
    print("%d %d %d" % count(f))
