# The product of two 100000-digit numbers (3^209590 and 7^118329), written
# out in full.
import sys

sys.set_int_max_str_digits(0)
print(3 ** 209590 * 7 ** 118329)
