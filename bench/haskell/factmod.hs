-- 20000! by a loop of multiplications, modulo 10^9+7.
main :: IO ()
main = print (go 1 1 `mod` 1000000007)
  where
    go :: Integer -> Integer -> Integer
    go i acc = if 20000 < i then acc else go (i + 1) (acc * i)
