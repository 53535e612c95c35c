# The first 8000 decimal digits of pi by Gibbons' unbounded spigot, written
# out as one number.
import sys


def pi(n):
    q, r, t, k, m, x = 1, 0, 1, 1, 3, 3
    acc = 0
    while n > 0:
        if 4 * q + r - t < m * t:
            acc = acc * 10 + m
            q, r, m, n = 10 * q, 10 * (r - m * t), 10 * (3 * q + r) // t - 10 * m, n - 1
        else:
            q, r, t, k, m, x = q * k, (2 * q + r) * x, t * x, k + 1, (q * (7 * k + 2) + r * x) // (t * x), x + 2
    return acc


sys.set_int_max_str_digits(0)
print(pi(8000))
