# Three times the squares of the first 2*10^5 odd numbers, summed: lazy
# streams (a pair of a head and a function giving the tail) mapped,
# filtered, cut and folded by functions passed as parameters, lambdas and
# partial applications.
from functools import partial


def from_(i):
    return (i, lambda: from_(i + 1))


def smap(f, s):
    return (f(s[0]), lambda: smap(f, s[1]()))


def sfilter(p, s):
    while not p(s[0]):
        s = s[1]()
    return (s[0], lambda: sfilter(p, s[1]()))


def take(n, s):
    if n == 0:
        return None
    return (s[0], lambda: take(n - 1, s[1]()))


def fold(f, acc, s):
    while s is not None:
        acc = f(acc, s[0])
        s = s[1]()
    return acc


def add(a, b):
    return a + b


def scale(k, n):
    return k * n


print(fold(add, 0, take(200000, smap(partial(scale, 3),
                                        smap(lambda n: n * n,
                                             sfilter(lambda n: n % 2 == 1, from_(1)))))))
