-- Non-tail-recursive sum of 1..10^6: a million nested calls.
deep :: Integer -> Integer
deep n = if n < 1 then 0 else n + deep (n - 1)

main :: IO ()
main = print (deep 1000000)
