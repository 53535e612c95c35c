-- 7^1200000 divided by 3^600000 (1.01M by 286k digits), modulo 1000003.
main :: IO ()
main = print ((7 :: Integer) ^ (1200000 :: Int) `div` 3 ^ (600000 :: Int) `mod` 1000003)
