# Merge sort of 10^5 pseudo-random integers, the comparison passed in as a
# parameter; prints a checksum of the sorted list.


def gen(n, s):
    out = []
    while n > 0:
        s = (s * 1103515245 + 12345) % 2147483648
        out.append(s % 100000)
        n -= 1
    out.reverse()
    return out


def sort(lt, l):
    if len(l) < 2:
        return l
    a, b = split(l)
    return merge(lt, sort(lt, a), sort(lt, b))


def split(l):
    a, b = [], []
    for x in l:
        a, b = b, a
        b.append(x)
    return a, b


def merge(lt, a, b):
    out = []
    i = j = 0
    while i < len(a) and j < len(b):
        if lt(b[j], a[i]):
            out.append(b[j])
            j += 1
        else:
            out.append(a[i])
            i += 1
    out.extend(a[i:])
    out.extend(b[j:])
    return out


def lt(x, y):
    return x < y


def check(l):
    acc = 0
    for i, x in enumerate(l, 1):
        acc = (acc * 31 + x * i) % 1000000007
    return acc


print(check(sort(lt, gen(100000, 42))))
