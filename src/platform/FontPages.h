// Font files are read through memory maps, and the kernel maps 64 KiB of the file around every
// page read. A large CJK font (the Kai face: 17 MB) is read at scattered places: FreeType's
// auto-hinter loads about a hundred reference glyphs once to measure the face, and each shown
// character needs its own glyph. So several megabytes of the file stay mapped into the process,
// though the glyphs, once drawn, come from the toolkit's glyph cache. Handing those pages back
// costs nothing: the maps are read-only, the pages stay in the system's file cache, and a glyph
// read again maps its page again.
#pragma once

namespace quillet {

// Unmaps the resident pages of every read-only map of a font file (.ttf, .ttc, .otf, .otc, .pfb)
// in this process; the maps stay valid. Returns how many maps it went over (0 where the system
// cannot do it).
int ReleaseFontPages();

}  // namespace quillet
