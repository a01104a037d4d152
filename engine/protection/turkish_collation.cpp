// The Turkish tables. Their byte positions are those of the Turkish code page
// (1254), not of 1251: 0xDD is capital dotted I and 0xFD dotless i there.
// Files sorted under a Turkish locale were ordered by exactly these values, so
// they are kept as they are even where 1251 puts Cyrillic letters.
#include "engine/protection/turkish_collation.h"

namespace norvane {

// Row r holds the ranks of bytes 16r..16r+15.
const std::array<uint8_t, 256> kTurkishRank = {
    0,   2,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14,  15,  16,
    17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  28,  29,  30,  31,  32,
    1,   33,  34,  35,  36,  37,  38,  39,  40,  41,  42,  43,  44,  45,  46,  47,
    48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  63,
    64,  72,  82,  84,  88,  94,  100, 102, 106, 112, 120, 122, 124, 126, 129, 136,
    144, 146, 148, 150, 155, 160, 167, 169, 171, 174, 176, 177, 178, 179, 180, 181,
    182, 65,  81,  83,  87,  89,  99,  101, 105, 117, 119, 121, 123, 125, 127, 131,
    143, 145, 147, 149, 154, 156, 166, 168, 170, 172, 175, 183, 184, 185, 186, 187,
    248, 249, 188, 189, 190, 191, 192, 193, 194, 195, 196, 197, 198, 250, 251, 252,
    253, 199, 200, 201, 202, 203, 204, 205, 206, 207, 208, 209, 210, 254, 255, 211,
    212, 213, 214, 215, 216, 217, 218, 219, 220, 221, 222, 223, 224, 225, 226, 227,
    228, 229, 230, 231, 232, 233, 234, 235, 236, 237, 238, 239, 240, 241, 242, 243,
    74,  76,  75,  77,  80,  73,  78,  86,  98,  95,  96,  97,  116, 113, 114, 115,
    104, 130, 139, 137, 138, 140, 142, 244, 245, 163, 161, 162, 165, 118, 153, 151,
    67,  69,  68,  70,  79,  66,  71,  85,  93,  90,  91,  92,  111, 110, 109, 108,
    103, 128, 133, 132, 134, 135, 141, 246, 247, 158, 159, 157, 164, 107, 152, 173,
};

uint8_t TurkishUpper(uint8_t c) {
  // Turkish pairs i with dotted İ (0xDD) and dotless ı (0xFD) with I.
  if (c == 'i') return 0xDD;
  if (c == 0xFD) return 'I';
  if (c >= 'a' && c <= 'z') return static_cast<uint8_t>(c - 32);
  if (c >= 0xE0 && c <= 0xF6) return static_cast<uint8_t>(c - 32);
  if (c >= 0xF9 && c <= 0xFC) return static_cast<uint8_t>(c - 32);
  if (c == 0xFE) return 0xDE;
  return c;  // including ÷ (0xF7), ø (0xF8) and ÿ (0xFF), which stay as they are
}

}  // namespace norvane
