-- The product of 3^2000000 and 7^1100000 (954k and 930k digits) modulo 1000003.
main :: IO ()
main = print ((3 :: Integer) ^ (2000000 :: Int) * 7 ^ (1100000 :: Int) `mod` 1000003)
