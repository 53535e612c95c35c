# A reverse Polish calculator over standard input, read one byte at a time:
# numbers are pushed, + - * pop two and push the result, a line break pops
# the line's result; prints the number of lines and the sum of the results.
import sys


def op(c, a, b):
    if c == b"+":
        return a + b
    if c == b"-":
        return a - b
    return a * b


def run(f):
    stack = []
    total = lines = 0
    c = f.read(1)
    while c:
        if b"0" <= c <= b"9":
            v = ord(c) - 48
            c = f.read(1)
            while c and b"0" <= c <= b"9":
                v = v * 10 + ord(c) - 48
                c = f.read(1)
            stack.append(v)
            continue
        if c == b"\n":
            if stack:
                total += stack.pop()
            stack = []
            lines += 1
        elif c != b" ":
            if len(stack) >= 2:
                b = stack.pop()
                a = stack.pop()
                stack.append(op(c, a, b))
        c = f.read(1)
    return lines, total


print("%d %d" % run(sys.stdin.buffer))
