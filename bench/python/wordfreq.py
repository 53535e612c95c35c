# Word frequencies of the text file named on the command line, read one byte
# at a time: the words, lowercased, go into a binary search tree of
# (word, count, left, right) nodes, rebuilt along the path at every insert;
# prints the number of distinct words and the most frequent one.
import sys


def isalpha(c):
    return b"a" <= c <= b"z" or b"A" <= c <= b"Z"


def lower(c):
    return bytes([c[0] + 32]) if c < b"a" else c


def insert(w, t):
    if t is None:
        return (w, 1, None, None)
    k, n, l, r = t
    if w == k:
        return (w, n + 1, l, r)
    if w < k:
        return (k, n, insert(w, l), r)
    return (k, n, l, insert(w, r))


def size(t, n):
    while t is not None:
        n = size(t[2], n + 1)
        t = t[3]
    return n


def best(t, b):
    while t is not None:
        b = best(t[2], b)
        if t[1] > b[1]:
            b = (t[0], t[1])
        t = t[3]
    return b


def scan(f):
    t = None
    c = f.read(1)
    while c:
        if isalpha(c):
            w = lower(c)
            c = f.read(1)
            while c and isalpha(c):
                w += lower(c)
                c = f.read(1)
            t = insert(w, t)
        else:
            c = f.read(1)
    return t


with open(sys.argv[1], "rb") as f:
    t = scan(f)
    top = best(t, (b"", 0))
    print("%d %s %d" % (size(t, 0), top[0].decode(), top[1]))
