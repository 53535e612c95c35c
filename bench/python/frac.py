# 10^4 binary-fraction additions and multiplications, exact; the sum is
# written as kiln writes a binary fraction.
from fractions import Fraction


def frac(i, acc):
    half, quarter = Fraction(1, 2), Fraction(1, 4)
    while not 10000 < i:
        i, acc = i + 1, acc + (i + half) * (i + quarter)
    return acc


def numeral(value):
    # The fraction bits: bit 0 the sign flag (1 when not negative), the digit
    # of 2^i at bit 2i+1, the digit of 2^-j at bit 2j; shifted up by one for
    # the class tag.
    magnitude = abs(value)
    whole = magnitude.numerator // magnitude.denominator
    part = magnitude - whole
    bits = 1 if value >= 0 else 0
    i = 0
    while whole:
        if whole & 1:
            bits |= 1 << (2 * i + 1)
        whole >>= 1
        i += 1
    j = 1
    while part:
        part *= 2
        if part >= 1:
            bits |= 1 << (2 * j)
            part -= 1
        j += 1
    if bits == 0:
        bits = 1
    s = bits << 1
    low = (s & -s).bit_length() - 1
    high = s.bit_length() - 1
    if low == high:
        return "00" + "0" * (low - 1)
    return "00" + "0" * (low - 1) + str(s >> (low + 1))


print(numeral(frac(1, Fraction(0))))
