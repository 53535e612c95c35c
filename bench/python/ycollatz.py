# The number below 40000 with the longest Collatz chain, and the chain's
# length, by recursion through a fixed-point combinator (loops in Python).


def Y(f):
    return lambda *args: f(Y(f), *args)


def steps_body(me, n, c):
    while n != 1:
        n, c = (n // 2 if n % 2 == 0 else 3 * n + 1), c + 1
    return c


steps = Y(steps_body)


def search_body(me, i, best, at):
    while not i > 40000 - 1:
        c = steps(i, 0)
        if c > best - 1:
            best, at = c, i
        i += 1
    return best, at


best, at = Y(search_body)(1, 0, 0)
print("%d %d" % (at, best))
