-- Tail-recursive sum of 1..10^6, the accumulator forced at every step.
{-# LANGUAGE BangPatterns #-}
loop :: Integer -> Integer -> Integer
loop !n !acc = if n < 1 then acc else loop (n - 1) (acc + n)

main :: IO ()
main = print (loop 1000000 0)
