// Telling audio from other files by their first bytes alone, as a folder scan needs it: the
// containers the engine opens (WAVE, AIFF, FLAC, Ogg, AU, CAF, ...) by their signatures, and
// MPEG audio by an ID3v2 tag or a run of frame headers that follow each other.
#pragma once

#include <cstddef>
#include <string_view>

namespace quillet {

// How many leading bytes LooksLikeAudio wants to see (it copes with fewer).
inline constexpr std::size_t kSniffBytes = 8192;

// True when `head`, the first bytes of a file, starts like a file the engine plays. The engine
// still has the last word: a file that passes may fail to open.
bool LooksLikeAudio(std::string_view head);

}  // namespace quillet
