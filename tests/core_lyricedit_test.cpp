// The lyric editor's text changes: line breaks of an import, the header skeleton, stamps.
#include <gtest/gtest.h>

#include "lyrics/LyricEditText.h"

namespace quillet {
namespace {

TEST(ImportLineBreaks, EveryLoneBreakBecomesAPair) {
  EXPECT_EQ(NormaliseLineBreaks("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd");
  EXPECT_EQ(NormaliseLineBreaks("\r\r\n\n\r"), "\r\n\r\n\r\n\r\n");
  EXPECT_EQ(NormaliseLineBreaks("\n\r"), "\r\n\r\n") << "LF CR is two breaks, not one pair";
  EXPECT_EQ(NormaliseLineBreaks(std::string("x\0y", 3)), std::string("x\0y", 3));
  EXPECT_EQ(NormaliseLineBreaks(""), "");
}

TEST(HeaderSkeleton, CompleteHeaderAddsNothing) {
  const std::string text = "[ti:a]\r\n[ar:b]\r\n[al:c]\r\n[by:d]\r\n[00:01]x";
  EXPECT_EQ(CompleteHeaderSkeleton(text), text);
  // The tag may stand anywhere in its line.
  const std::string loose = "x [Ti:a]\r\n[aR:\r\nfoo[AL:]\r\n  [BY:";
  EXPECT_EQ(CompleteHeaderSkeleton(loose), loose);
}

TEST(HeaderSkeleton, EmptyAndShortTexts) {
  EXPECT_EQ(CompleteHeaderSkeleton(""), "[TI:]\r\n[AR:]\r\n[AL:]\r\n[BY:]\r\n");
  EXPECT_EQ(CompleteHeaderSkeleton("[TI:x]"), "[TI:x]\r\n[AR:]\r\n[AL:]\r\n[BY:]");
  EXPECT_EQ(CompleteHeaderSkeleton("[TI:x]\r\n"), "[TI:x]\r\n[AR:]\r\n[AL:]\r\n[BY:]\r\n");
}

TEST(HeaderSkeleton, EachStepSeesTheTextTheLastOneLeft) {
  EXPECT_EQ(CompleteHeaderSkeleton("[ar:Singer]"), "[TI:]\r\n[ar:Singer]\r\n[AL:]\r\n[BY:]");
  EXPECT_EQ(CompleteHeaderSkeleton("[ar:Singer]\r\nline one\r\nline two\r\n"),
            "[TI:]\r\n[ar:Singer]\r\n[AL:]\r\n[BY:]\r\nline one\r\nline two\r\n");
  EXPECT_EQ(CompleteHeaderSkeleton("one\r\ntwo"), "[TI:]\r\n[AR:]\r\n[AL:]\r\n[BY:]\r\none\r\ntwo");
  // A tag out of its place does not count: [AL:] in line 0 is not a title.
  EXPECT_EQ(CompleteHeaderSkeleton("[al:c]\r\n[ti:a]"),
            "[TI:]\r\n[AR:]\r\n[al:c]\r\n[BY:]\r\n[ti:a]");
}

TEST(Stamp, GoesInFrontOfEarlierStamps) {
  EXPECT_EQ(StampLine("text", "00:12"), "[00:12]text");
  EXPECT_EQ(StampLine(StampLine("text", "00:12"), "00:15"), "[00:15][00:12]text");
  EXPECT_EQ(StampLine("", "01:02"), "[01:02]");
  EXPECT_EQ(StampLine("x", ""), "[]x") << "position 0 writes an empty stamp";
}

}  // namespace
}  // namespace quillet
