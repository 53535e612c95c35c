# Binary trees: complete trees of depth 4, 6, ..., 13 built and walked, as
# many of each as fit 2^(13-depth+4), beside a long-lived tree. A tree is
# None or a pair of subtrees (Scott-encoded trees read by continuations in
# the kiln program).


def make(d):
    if d == 0:
        return (None, None)
    return (make(d - 1), make(d - 1))


def check(t):
    if t is None:
        return 1
    return 1 + check(t[0]) + check(t[1])


mx = 13
print("stretch %d" % check(make(mx + 1)))
long_lived = make(mx)
d = 4
while not d > mx:
    n = 2 ** (mx - d + 4)
    acc = 0
    i = n
    while i != 0:
        acc += check(make(d))
        i -= 1
    print("%d trees of depth %d check %d" % (n, d, acc))
    d += 2
print("long lived %d" % check(long_lived))
