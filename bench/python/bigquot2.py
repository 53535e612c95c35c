# 7^1200000 divided by 3^600000 (1.01M by 286k digits), modulo 1000003.
from decimal import Decimal as D, getcontext, MAX_PREC, MAX_EMAX, MIN_EMIN

c = getcontext()
c.prec, c.Emax, c.Emin = MAX_PREC, MAX_EMAX, MIN_EMIN
print(D(7) ** 1200000 // D(3) ** 600000 % 1000003)
