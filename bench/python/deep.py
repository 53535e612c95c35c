# Non-tail-recursive sum of 1..10^6: a million nested calls.
import sys
import threading


def deep(n):
    return 0 if n < 1 else n + deep(n - 1)


def main():
    print(deep(1000000))


sys.setrecursionlimit(1100000)
threading.stack_size(1 << 30)
worker = threading.Thread(target=main)
worker.start()
worker.join()
