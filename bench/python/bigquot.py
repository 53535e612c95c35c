# The product of 3^2000000 and 7^1100000 divided by 7^1100000, modulo 1000003.
from decimal import Decimal as D, getcontext, MAX_PREC, MAX_EMAX, MIN_EMIN

c = getcontext()
c.prec, c.Emax, c.Emin = MAX_PREC, MAX_EMAX, MIN_EMIN
y = D(7) ** 1100000
print(D(3) ** 2000000 * y // y % 1000003)
