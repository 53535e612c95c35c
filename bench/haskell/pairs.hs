-- A list of 10^5 numbers built from pairs (Nil is the empty list),
-- reversed, then summed.
{-# LANGUAGE BangPatterns #-}
data List = Nil | Pair Integer List

build :: Integer -> List -> List
build !n !acc = if n < 1 then acc else build (n - 1) (Pair n acc)

rev :: List -> List -> List
rev Nil acc = acc
rev (Pair h t) !acc = rev t (Pair h acc)

total :: List -> Integer -> Integer
total Nil acc = acc
total (Pair h t) !acc = total t (acc + h)

main :: IO ()
main = print (total (rev (build 100000 Nil) Nil) 0)
