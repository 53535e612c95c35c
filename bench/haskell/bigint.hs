-- 10000! by a loop of multiplications, then the sum of its decimal digits,
-- read back one by one from its text.
{-# LANGUAGE BangPatterns #-}
import Data.Char (ord)

fact :: Integer -> Integer -> Integer
fact !i !acc = if 10000 < i then acc else fact (i + 1) (acc * i)

digits :: String -> Integer -> Integer
digits [] acc = acc
digits (c : cs) !acc = digits cs (acc + fromIntegral (ord c - 48))

main :: IO ()
main = print (digits (show (fact 1 1)) 0)
