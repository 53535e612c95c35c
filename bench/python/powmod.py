# 3^200000 divided by 7^90000, rounded down, modulo 10^6.
print(3 ** 200000 // 7 ** 90000 % 1000000)
