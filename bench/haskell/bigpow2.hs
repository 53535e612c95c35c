-- 2^(10^7) (3 010 300 digits) modulo 1000003.
main :: IO ()
main = print ((2 :: Integer) ^ (10000000 :: Int) `mod` 1000003)
