-- 3^200000 divided by 7^90000, rounded down, modulo 10^6.
main :: IO ()
main = print ((3 ^ (200000 :: Int)) `div` (7 ^ (90000 :: Int)) `mod` 1000000 :: Integer)
