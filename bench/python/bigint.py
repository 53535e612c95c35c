# 10000! by a loop of multiplications, then the sum of its decimal digits,
# read back one by one from its text.
import sys


def fact(i, acc):
    while not 10000 < i:
        i, acc = i + 1, acc * i
    return acc


def digits(text):
    acc = 0
    for ch in text:
        acc += ord(ch) - 48
    return acc


sys.set_int_max_str_digits(0)
print(digits(str(fact(1, 1))))
