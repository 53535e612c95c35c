-- The squares of 1..10^6 as a lazy stream, each tail a thunk, summed by a
-- fold.
{-# LANGUAGE BangPatterns #-}
squares :: Integer -> [Integer]
squares i = if i > 1000000 then [] else i * i : squares (i + 1)

fold :: [Integer] -> Integer -> Integer
fold [] acc = acc
fold (h : t) !acc = fold t (acc + h)

main :: IO ()
main = print (fold (squares 1) 0)
