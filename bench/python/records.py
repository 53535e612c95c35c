# Folds over 1..4*10^5 driven by records of functions: each record holds an
# operation, its unit, a step applied to every number and a finishing
# function.
from collections import namedtuple

Monoid = namedtuple("Monoid", "op unit step fin")


def run(m, n):
    acc = m.unit
    i = 1
    while not i > n:
        acc = m.op(acc, m.step(i))
        i += 1
    return m.fin(acc)


def ident(x):
    return x


sums = Monoid(lambda a, b: a + b, 0, ident, ident)
squares = Monoid(lambda a, b: a + b, 0, lambda i: i * i, lambda s: s % 1000000007)
maxes = Monoid(lambda a, b: b if a < b else a, 0, lambda i: (i * 7919) % 10007, ident)
mods = Monoid(lambda a, b: (a * 31 + b) % 1000003, 1, lambda i: i % 97, lambda m: m + 1)

n = 400000
print("%d %d %d %d" % (run(sums, n), run(squares, n), run(maxes, n), run(mods, n)))
