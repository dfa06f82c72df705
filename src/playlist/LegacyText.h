// Tag texts in legacy code pages: ID3v1 fields and ID3v2 frames that declare Latin-1 often hold
// GBK/GB18030 or Big5 bytes instead. Widget-free (Qt Core's converters, through ICU).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// How such texts are read: guessed, or as the user says.
enum class LegacyEncoding { kAuto, kGb18030, kBig5, kLatin1 };

// The encoding a guess settles on. kUtf8 is only ever guessed (taggers that wrote UTF-8 into a
// Latin-1 field), never chosen by the user.
enum class LegacyGuess { kAscii, kUtf8, kGb18030, kBig5, kLatin1 };

// The guess for the texts of one tag, taken together (a three-character name alone says little):
// plain ASCII stays ASCII; bytes that read as Latin-1 letters inside Latin words are Latin-1;
// otherwise each of UTF-8 (when valid), GB18030 and Big5 is scored by how much of its result is
// common CJK (ideographs of the encoding's frequent block, CJK punctuation, full-width forms),
// penalising replacement characters, private-use and rare code points; the best one wins when
// it scores well enough, and Latin-1 takes what none of them fits.
LegacyGuess GuessLegacyEncoding(const std::vector<std::string_view>& texts);

// The texts as UTF-8: decided together under kAuto, or all in the encoding given.
std::vector<std::string> DecodeLegacyTexts(const std::vector<std::string_view>& texts,
                                           LegacyEncoding encoding = LegacyEncoding::kAuto);
std::string DecodeLegacyText(std::string_view bytes,
                             LegacyEncoding encoding = LegacyEncoding::kAuto);

}  // namespace quillet
