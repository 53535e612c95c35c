# The primes below 16000 counted by a list sieve: each prime found filters
# the rest of the list (Scott-encoded lists in the kiln program).


def sieve(numbers):
    count = 0
    while numbers:
        p = numbers[0]
        count += 1
        numbers = [x for x in numbers[1:] if x % p != 0]
    return count


print(sieve(list(range(2, 16000))))
