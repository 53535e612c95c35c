# 2^(10^7) (3 010 300 digits) modulo 1000003, in exact decimal arithmetic.
from decimal import Decimal as D, getcontext, MAX_PREC, MAX_EMAX, MIN_EMIN

c = getcontext()
c.prec, c.Emax, c.Emin = MAX_PREC, MAX_EMAX, MIN_EMIN
print(D(2) ** 10000000 % 1000003)
