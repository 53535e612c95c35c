# Tail-recursive sum of 1..10^6; Python has no tail calls, so the tail call
# is the loop it stands for.


def loop(n, acc):
    while not n < 1:
        n, acc = n - 1, acc + n
    return acc


print(loop(1000000, 0))
