# The primes below 10^4 counted by a list sieve: each prime found filters
# the rest of the list.


def sieve(numbers):
    count = 0
    while numbers:
        p = numbers[0]
        count += 1
        numbers = [x for x in numbers[1:] if x % p != 0]
    return count


print(sieve(list(range(2, 10000))))
