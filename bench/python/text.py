# A 10^5-character text built by joining one character at a time.


def text(n, acc):
    while not n < 1:
        n, acc = n - 1, acc + chr(97 + n % 26)
    return acc


print(text(100000, ""))
