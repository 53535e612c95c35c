-- The primes below 10^4 counted by a list sieve: each prime found filters
-- the rest of the list.
sieve :: [Integer] -> [Integer]
sieve [] = []
sieve (p : xs) = p : sieve [x | x <- xs, x `mod` p /= 0]

main :: IO ()
main = print (length (sieve [2 .. 9999]))
