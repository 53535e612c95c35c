# Bit 3000000 of the bit string of 7^1183000 (10^6 digits): bit 2999998
# of the magnitude, as Python's integers see it.
x = 7 ** 1183000
print((x >> 2999998) & 1)
