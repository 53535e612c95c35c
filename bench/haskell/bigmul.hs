-- The product of two 100000-digit numbers (3^209590 and 7^118329), written
-- out in full.
main :: IO ()
main = print (3 ^ (209590 :: Int) * 7 ^ (118329 :: Int) :: Integer)
