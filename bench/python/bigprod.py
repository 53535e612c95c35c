# The product of 3^2000000 and 7^1100000 (954k and 930k digits) modulo 1000003.
from decimal import Decimal as D, getcontext, MAX_PREC, MAX_EMAX, MIN_EMIN

c = getcontext()
c.prec, c.Emax, c.Emin = MAX_PREC, MAX_EMAX, MIN_EMIN
print(D(3) ** 2000000 * D(7) ** 1100000 % 1000003)
