-- The product of 3^2000000 and 7^1100000 divided by 7^1100000, modulo 1000003.
main :: IO ()
main = print ((3 ^ (2000000 :: Int) * y) `div` y `mod` 1000003)
  where y = (7 :: Integer) ^ (1100000 :: Int)
