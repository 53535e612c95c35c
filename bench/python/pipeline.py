# Pipelines of small functions over 1..3*10^5: each number is passed through
# a chain of functions and through a composition built once, and the results
# are summed.


def compose(f, g):
    return lambda x: g(f(x))


def B(f, g):
    return lambda x: f(g(x))


def triple(n):
    return n * 3


def inc(n):
    return n + 1


def sq(n):
    return n * n


def total(f, i, acc):
    while not i > 300000:
        acc = acc + sq((lambda n: n % 1009)(inc(triple(i)))) + f(i)
        i += 1
    return acc


f = compose(compose(inc, lambda n: n % 1009), B(sq, triple))
print(total(f, 1, 0))
