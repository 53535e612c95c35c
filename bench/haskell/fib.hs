-- Naive doubly recursive Fibonacci of 25.
fib :: Integer -> Integer
fib n = if n < 2 then n else fib (n - 1) + fib (n - 2)

main :: IO ()
main = print (fib 25)
