// Tag texts (UTF-8) turned into the bytes a playlist row stores: the locale's narrow encoding,
// cut to a record field's capacity at a character boundary.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillet {

// The narrow encodings a row's bytes are written in. Rows are read back by DisplayText, which
// takes valid UTF-8 as UTF-8 and anything else as GB18030, so these two are the only ones that
// show again as they were.
enum class RowEncoding { kUtf8, kGb18030 };

// From the locale's character set (LC_CTYPE, as the program set it up): GB18030, GBK and GB2312
// locales give GB18030; any other (UTF-8, C, Latin-1, Big5, ...) gives UTF-8, which Qt 6 also
// uses for local 8-bit texts on these systems. Both encode every character, so no text ever
// needs a substitute; a byte that is not UTF-8 in the input reads as U+FFFD.
RowEncoding RowEncodingForCodeset(std::string_view codeset);
RowEncoding LocaleRowEncoding();

// The UTF-8 text in `encoding`, cut to at most `capacity` bytes after the last whole character
// that fits (never inside a multi-byte character).
std::string RowTextFromUtf8(std::string_view utf8, std::size_t capacity, RowEncoding encoding);

}  // namespace quillet
