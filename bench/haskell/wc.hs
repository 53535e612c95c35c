-- Lines, words and bytes of the file named on the command line, read one
-- byte at a time (the file's bytes as a lazily read list of characters).
{-# LANGUAGE BangPatterns #-}
import System.Environment (getArgs)
import System.IO

count :: String -> Int -> Int -> Int -> Bool -> (Int, Int, Int)
count [] !lines !words !bytes _ = (lines, words, bytes)
count (c : cs) !lines !words !bytes inword =
  if c `elem` " \t\n\v\f\r"
    then count cs (if c == '\n' then lines + 1 else lines) words (bytes + 1) False
    else count cs lines (if inword then words else words + 1) (bytes + 1) True

main :: IO ()
main = do
  [path] <- getArgs
  h <- openBinaryFile path ReadMode
  text <- hGetContents h
  let (l, w, b) = count text 0 0 0 False
  putStrLn (show l ++ " " ++ show w ++ " " ++ show b)
