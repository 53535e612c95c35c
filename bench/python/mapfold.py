# The squares of 1..10^6 as a lazy stream, each tail a thunk, summed by a
# fold. A stream is None or a pair of a head and a function giving the tail.


def squares(i):
    if i > 1000000:
        return None
    return (i * i, lambda: squares(i + 1))


def fold(stream, acc):
    while stream is not None:
        head, tail = stream
        stream, acc = tail(), acc + head
    return acc


print(fold(squares(1), 0))
