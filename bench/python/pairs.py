# A list of 10^5 numbers built from pairs (None is the empty list),
# reversed, then summed.


def build(n, acc):
    while not n < 1:
        n, acc = n - 1, (n, acc)
    return acc


def rev(lst, acc):
    while lst is not None:
        lst, acc = lst[1], (lst[0], acc)
    return acc


def total(lst, acc):
    while lst is not None:
        lst, acc = lst[1], acc + lst[0]
    return acc


print(total(rev(build(100000, None), None), 0))
