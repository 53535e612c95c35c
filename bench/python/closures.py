# A list of 40 closures, each capturing its own k and c, applied in turn to
# each of 1..24000; with a function that takes a function (twice) and one
# that returns one (adder).


def closures(k, n, acc):
    while not k > n:
        c = k * k % 17
        acc = (lambda k, c: lambda x: (x * k + c) % 1000003)(k, c), acc
        k += 1
    return acc


def apply(fs, x):
    while fs is not None:
        x = fs[0](x)
        fs = fs[1]
    return x


def twice(f, x):
    return f(f(x))


def adder(n):
    return lambda x: x + n


def total(fs, i, acc):
    while not i > 24000:
        acc = acc + apply(fs, i) + twice(adder(i), fs[0](i))
        i += 1
    return acc


print(total(closures(1, 40, None), 1, 0))
