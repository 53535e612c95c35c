-- 3000! by a loop of multiplications, written out in full.
{-# LANGUAGE BangPatterns #-}
fact :: Integer -> Integer -> Integer
fact !i !acc = if 3000 < i then acc else fact (i + 1) (acc * i)

main :: IO ()
main = print (fact 1 1)
