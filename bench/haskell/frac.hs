-- 10^4 binary-fraction additions and multiplications, exact; the sum is
-- written as kiln writes a binary fraction.
{-# LANGUAGE BangPatterns #-}
import Data.Bits (shiftL, shiftR, (.&.), (.|.))
import Data.Ratio (denominator, numerator, (%))

frac :: Integer -> Rational -> Rational
frac !i !acc = if 10000 < i then acc
               else frac (i + 1) (acc + (fromInteger i + 1 % 2) * (fromInteger i + 1 % 4))

-- The fraction bits: bit 0 the sign flag (1 when not negative), the digit of
-- 2^i at bit 2i+1, the digit of 2^-j at bit 2j; shifted up by one for the
-- class tag.
numeral :: Rational -> String
numeral value =
  let magnitude = abs value
      whole = numerator magnitude `div` denominator magnitude
      part = magnitude - fromInteger whole
      wholeBits w i b = if w == 0 then b
                        else wholeBits (w `shiftR` 1) (i + 1)
                               (if odd w then b .|. (1 `shiftL` (2 * i + 1)) else b)
      partBits p j b = if p == 0 then b
                       else let q = p * 2
                            in if q >= 1 then partBits (q - 1) (j + 1) (b .|. (1 `shiftL` (2 * j)))
                               else partBits q (j + 1) b
      bits0 = partBits part 1 (wholeBits whole 0 (if value >= 0 then 1 else 0)) :: Integer
      bits = if bits0 == 0 then 1 else bits0
      s = bits `shiftL` 1
      low = lowBit s 0
      high = highBit s 0
      lowBit x k = if x .&. 1 == 1 then k else lowBit (x `shiftR` 1) (k + 1)
      highBit x k = if x <= 1 then k else highBit (x `shiftR` 1) (k + 1)
      zeros = "00" ++ replicate (low - 1) '0'
  in if low == high then zeros else zeros ++ show (s `shiftR` (low + 1))

main :: IO ()
main = putStrLn (numeral (frac 1 0))
