// Turning stored bytes into shown text: UTF-8 when the bytes are UTF-8, else GB18030.
#include <gtest/gtest.h>

#include "common/DisplayText.h"

namespace quillet {
namespace {

TEST(DisplayText, Utf8AndGbkBothShowRight) {
  EXPECT_EQ(DisplayText("你好"), QString::fromUtf8("你好"));
  EXPECT_EQ(DisplayText("\xc4\xe3\xba\xc3"), QString::fromUtf8("你好"));
  EXPECT_EQ(DisplayText("abc"), QStringLiteral("abc"));
  EXPECT_EQ(DisplayText("\xa2\xe3"), QString::fromUtf8("€")) << "GB18030, not plain GB2312";
  EXPECT_EQ(DisplayText(""), QString());
  // A GBK text cut in the middle of a character still shows what it holds.
  EXPECT_TRUE(DisplayText("\xc4\xe3\xba").startsWith(QString::fromUtf8("你")));
}

TEST(DisplayText, TagTextsShowUpToTheirFirstNul) {
  EXPECT_EQ(DisplayTagText(std::string("Abc") + std::string(27, '\0')), QStringLiteral("Abc"));
  EXPECT_EQ(DisplayTagText(std::string("\xb8\xe8\xca\xd6\0xx", 7)), QString::fromUtf8("歌手"));
  EXPECT_EQ(DisplayTagText(std::string(30, '\0')), QString());
  // Plain display keeps the NUL filler as characters.
  EXPECT_EQ(DisplayText(std::string("A\0", 2)).size(), 2);
}

TEST(DisplayText, LocalBytesRoundTripsUtf8Paths) {
  EXPECT_EQ(LocalBytes(QString::fromUtf8("/音乐/歌.mp3")), "/音乐/歌.mp3");
  EXPECT_EQ(DisplayText(LocalBytes(QString::fromUtf8("/音乐/a b.lrc"))),
            QString::fromUtf8("/音乐/a b.lrc"));
}

}  // namespace
}  // namespace quillet
