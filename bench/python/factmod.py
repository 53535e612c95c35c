# 20000! by a loop of multiplications, modulo 10^9+7, in exact decimal arithmetic.
from decimal import Decimal as D, getcontext, MAX_PREC, MAX_EMAX, MIN_EMIN

c = getcontext()
c.prec, c.Emax, c.Emin = MAX_PREC, MAX_EMAX, MIN_EMIN
acc = D(1)
for i in range(1, 20001):
    acc = acc * i
print(acc % 1000000007)
