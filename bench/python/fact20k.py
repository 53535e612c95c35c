# 20000! by a loop of multiplications, written out in full.
import sys


def fact(i, acc):
    while not 20000 < i:
        i, acc = i + 1, acc * i
    return acc


sys.set_int_max_str_digits(0)
print(fact(1, 1))
