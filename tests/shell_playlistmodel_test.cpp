// The playlist's rows: bytes kept as they came, decoded only for display; removal of any set of
// rows keeps the rest in order, and their selection; the view's signals stay consistent for
// attached views.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

#include "shell/PlaylistView.h"

namespace quillet {
namespace {

PlaylistRow Named(const std::string& name) { return {name, "", "", "", "/m/" + name}; }

std::vector<std::string> Names(const TrackList& list) {
  std::vector<std::string> out;
  for (const PlaylistRow& r : list.Rows()) out.push_back(r.name);
  return out;
}

TEST(PlaylistModel, ShowsBytesDecodedAndKeepsThemUnchanged) {
  TrackList list(nullptr);
  PlaylistModel m(list);
  const std::string gbkName = "\xB8\xE8\xC7\xFA.mp3";  // "歌曲.mp3" in GBK
  const std::string paddedSinger("Singer\0\0\0\0", 10);
  list.Append(PlaylistRow{gbkName, paddedSinger, "Album", "03:07", "/music/" + gbkName});
  EXPECT_EQ(m.data(m.index(0, 0), Qt::DisplayRole).toString(), QString::fromUtf8("歌曲.mp3"));
  EXPECT_EQ(m.data(m.index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("Singer"));
  EXPECT_EQ(m.data(m.index(0, 3), Qt::DisplayRole).toString(), QStringLiteral("03:07"));
  EXPECT_EQ(m.data(m.index(0, 4), Qt::DisplayRole).toString(),
            QString::fromUtf8("/music/歌曲.mp3"));
  EXPECT_EQ(list.Row(0).name, gbkName);
  EXPECT_EQ(list.Row(0).singer, paddedSinger);
  EXPECT_EQ(m.data(m.index(0, 3), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHCenter,
            Qt::AlignHCenter);
  EXPECT_FALSE(m.flags(m.index(0, 0)) & Qt::ItemIsEditable);
  EXPECT_FALSE(m.data(m.index(1, 0), Qt::DisplayRole).isValid());
}

TEST(PlaylistModel, RemovingAnySetOfRowsKeepsTheRestInOrderWithTheirSelection) {
  TrackList list(nullptr);
  PlaylistModel m(list);
  QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::Fatal);
  for (const char* n : {"a", "b", "c", "d", "e", "f", "g"}) list.Append(Named(n));
  list.SetSelection({1, 2, 6}, 5);
  list.Remove({4, 0, 2, 3, 3, 9, -1});  // unsorted, a duplicate, two out of range
  EXPECT_EQ(Names(list), (std::vector<std::string>{"b", "f", "g"}));
  EXPECT_EQ(list.Selected(), (std::vector<int>{0, 2}));
  EXPECT_EQ(list.Focused(), 1);
  list.Remove({});
  EXPECT_EQ(m.rowCount(), 3);
  list.Remove({2, 1, 0});
  EXPECT_EQ(m.rowCount(), 0);
  EXPECT_TRUE(list.Selected().empty());
  EXPECT_EQ(list.Focused(), -1);
  list.Append({Named("x"), Named("x")});  // the same file may stand twice
  EXPECT_EQ(Names(list), (std::vector<std::string>{"x", "x"}));
  list.SelectOnly(1);
  list.Clear();
  EXPECT_EQ(m.rowCount(), 0);
  EXPECT_TRUE(list.Selected().empty());
}

}  // namespace
}  // namespace quillet
