# A tokenizer over the text file named on the command line, read one byte at
# a time: counts the words, sums the numbers, counts the punctuation and
# finds the first longest word, each word built a byte at a time.
import sys


def isalpha(c):
    return b"a" <= c <= b"z" or b"A" <= c <= b"Z"


def isdigit(c):
    return b"0" <= c <= b"9"


def tokens(f):
    words = total = punct = 0
    best = b""
    c = f.read(1)
    while c:
        if isalpha(c):
            w = c
            c = f.read(1)
            while c and isalpha(c):
                w += c
                c = f.read(1)
            words += 1
            if len(w) > len(best):
                best = w
        elif isdigit(c):
            v = ord(c) - 48
            c = f.read(1)
            while c and isdigit(c):
                v = v * 10 + ord(c) - 48
                c = f.read(1)
            total += v
        else:
            if c not in b" \t\n\v\f\r":
                punct += 1
            c = f.read(1)
    return words, total, punct, best


with open(sys.argv[1], "rb") as f:
    words, total, punct, best = tokens(f)
    print("%d %d %d %s" % (words, total, punct, best.decode()))
