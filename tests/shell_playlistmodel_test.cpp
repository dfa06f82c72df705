// The playlist's rows: bytes kept as they came, decoded only for display; removal of any set of
// rows keeps the rest in order; the view's signals stay consistent for attached views.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

#include "shell/PlaylistView.h"

namespace quillet {
namespace {

PlaylistRow Named(const std::string& name) { return {name, "", "", "", "/m/" + name}; }

std::vector<std::string> Names(const PlaylistModel& m) {
  std::vector<std::string> out;
  for (const PlaylistRow& r : m.Rows()) out.push_back(r.name);
  return out;
}

TEST(PlaylistModel, ShowsBytesDecodedAndKeepsThemUnchanged) {
  PlaylistModel m;
  const std::string gbkName = "\xB8\xE8\xC7\xFA.mp3";  // "歌曲.mp3" in GBK
  const std::string paddedSinger("Singer\0\0\0\0", 10);
  m.Append(PlaylistRow{gbkName, paddedSinger, "Album", "03:07", "/music/" + gbkName});
  EXPECT_EQ(m.data(m.index(0, 0), Qt::DisplayRole).toString(), QString::fromUtf8("歌曲.mp3"));
  EXPECT_EQ(m.data(m.index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("Singer"));
  EXPECT_EQ(m.data(m.index(0, 3), Qt::DisplayRole).toString(), QStringLiteral("03:07"));
  EXPECT_EQ(m.data(m.index(0, 4), Qt::DisplayRole).toString(),
            QString::fromUtf8("/music/歌曲.mp3"));
  EXPECT_EQ(m.Row(0).name, gbkName);
  EXPECT_EQ(m.Row(0).singer, paddedSinger);
  EXPECT_EQ(m.data(m.index(0, 3), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHCenter,
            Qt::AlignHCenter);
  EXPECT_FALSE(m.flags(m.index(0, 0)) & Qt::ItemIsEditable);
  EXPECT_FALSE(m.data(m.index(1, 0), Qt::DisplayRole).isValid());
}

TEST(PlaylistModel, RemovingAnySetOfRowsKeepsTheRestInOrder) {
  PlaylistModel m;
  QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::Fatal);
  for (const char* n : {"a", "b", "c", "d", "e", "f", "g"}) m.Append(Named(n));
  m.RemoveRows({4, 0, 2, 3, 3, 9, -1});  // unsorted, a duplicate, two out of range
  EXPECT_EQ(Names(m), (std::vector<std::string>{"b", "f", "g"}));
  m.RemoveRows({});
  EXPECT_EQ(m.Count(), 3);
  m.RemoveRows({2, 1, 0});
  EXPECT_EQ(m.Count(), 0);
  m.Append({Named("x"), Named("x")});  // the same file may stand twice
  EXPECT_EQ(Names(m), (std::vector<std::string>{"x", "x"}));
  m.Clear();
  EXPECT_EQ(m.rowCount(), 0);
}

}  // namespace
}  // namespace quillet
