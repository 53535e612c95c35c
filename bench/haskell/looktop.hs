-- Bit 3000000 of the bit string of 7^1183000 (10^6 digits).
import Data.Bits (shiftR, (.&.))

main :: IO ()
main = print ((((7 :: Integer) ^ (1183000 :: Int)) `shiftR` 2999998) .&. 1)
