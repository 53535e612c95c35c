-- The first 8000 decimal digits of pi by Gibbons' unbounded spigot, written
-- out as one number.
main :: IO ()
main = print (pi' 1 0 1 1 3 3 8000 0)

pi' :: Integer -> Integer -> Integer -> Integer -> Integer -> Integer -> Int -> Integer -> Integer
pi' q r t k m x n acc
  | n < 1 = acc
  | 4 * q + r - t < m * t =
      pi' (10 * q) (10 * (r - m * t)) t k (10 * (3 * q + r) `div` t - 10 * m) x (n - 1) (acc * 10 + m)
  | otherwise =
      pi' (q * k) ((2 * q + r) * x) (t * x) (k + 1) ((q * (7 * k + 2) + r * x) `div` (t * x)) (x + 2) n acc
