-- A 10^5-character text built one character at a time: each character is
-- put in front of the reversed text so far (constant time, as appending is
-- in the other versions), and the text is turned round once at the end.
{-# LANGUAGE BangPatterns #-}
import Data.Char (chr)

text :: Int -> String -> String
text !n acc = if n < 1 then reverse acc else text (n - 1) (chr (97 + n `mod` 26) : acc)

main :: IO ()
main = putStrLn (text 100000 [])
