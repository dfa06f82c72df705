// The tray icon component on its own: the tooltip cut, what each mouse action on the icon does
// and in which order, the menu's place, hiding on minimise, and the icon following the desktop's
// notification area as it comes and goes. Offscreen: the notification area is scripted.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "common/DisplayText.h"
#include "shell/TRzTrayIcon.h"

namespace quillet {
namespace {

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

TEST(TrayTipBytes, CutsByBytesWithoutSplittingACharacter) {
  // Short texts and exactly 127 bytes stay whole.
  EXPECT_EQ(TrayTipBytes("Quillet 06.12.15", 127), "Quillet 06.12.15");
  const std::string exact(127, 'x');
  EXPECT_EQ(TrayTipBytes(exact, 127), exact);
  EXPECT_EQ(TrayTipBytes(exact + "y", 127), exact);
  EXPECT_EQ(TrayTipBytes("", 127), "");

  // UTF-8: three-byte characters; 127 is not a multiple of 3, so the last one is left out.
  const std::string han = "歌";
  ASSERT_EQ(han.size(), 3u);
  const std::string utf8 = Repeat(han, 50);                           // 150 bytes
  EXPECT_EQ(TrayTipBytes(utf8, 127), Repeat(han, 42));                // 126 bytes
  EXPECT_EQ(TrayTipBytes("a" + utf8, 127), "a" + Repeat(han, 42));    // 127 bytes
  EXPECT_EQ(TrayTipBytes("ab" + utf8, 127), "ab" + Repeat(han, 41));  // 125 bytes

  // GBK: two-byte characters (not valid UTF-8, so read by the GB rules).
  const std::string gbk = "\xB8\xE8";                                           // 歌 in GBK
  EXPECT_EQ(TrayTipBytes(Repeat(gbk, 100), 127), Repeat(gbk, 63));              // 126 bytes
  EXPECT_EQ(TrayTipBytes("a" + Repeat(gbk, 100), 127), "a" + Repeat(gbk, 63));  // 127 bytes
  // A trail byte in the ASCII range (0x40-0x7E) is still the second half of its character.
  const std::string gbkLowTrail = "\x81\x40";
  EXPECT_EQ(TrayTipBytes(Repeat(gbkLowTrail, 70), 127), Repeat(gbkLowTrail, 63));
  // GB18030 four-byte sequences.
  const std::string four = "\x81\x30\x81\x30";
  EXPECT_EQ(TrayTipBytes("abc" + Repeat(four, 40), 127), "abc" + Repeat(four, 31));  // 127
  EXPECT_EQ(TrayTipBytes("a" + Repeat(four, 40), 127), "a" + Repeat(four, 31));      // 125
}

TEST(TrayClickKind, MapsTheSixMouseActionsAndNothingElse) {
  EXPECT_EQ(TrayClickKind(513), ticLeftClick);
  EXPECT_EQ(TrayClickKind(514), ticLeftClickUp);
  EXPECT_EQ(TrayClickKind(515), ticLeftDblClick);
  EXPECT_EQ(TrayClickKind(516), ticRightClick);
  EXPECT_EQ(TrayClickKind(517), ticRightClickUp);
  EXPECT_EQ(TrayClickKind(518), ticRightDblClick);
  for (int other : {0, 512, 519, 1027, 1028, 1029, 9250}) EXPECT_EQ(TrayClickKind(other), ticNone);
  // The kinds keep their ordinal values.
  EXPECT_EQ(static_cast<int>(ticNone), 0);
  EXPECT_EQ(static_cast<int>(ticLeftDblClick), 2);
  EXPECT_EQ(static_cast<int>(ticRightClickUp), 6);
}

class TrayIconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner.setObjectName(QStringLiteral("owner"));
    owner.resize(200, 100);
    icon = new TRzTrayIcon(&owner);
    icon->TrayAvailable = [this] { return trayHost; };
    icon->SetIcon(QApplication::style()->standardIcon(QStyle::SP_MediaPlay));
    menu.addAction(QStringLiteral("first item"));
    menu.addAction(QStringLiteral("second"));
    icon->PopupMenu = &menu;
    QObject::connect(&menu, &QMenu::aboutToShow, [this] { log.push_back("menu"); });
    QObject::connect(icon, &TRzTrayIcon::OnRestoreApp, [this] { log.push_back("restore"); });
    QObject::connect(icon, &TRzTrayIcon::OnMinimizeApp, [this] { log.push_back("minimize"); });
    QObject::connect(icon, &TRzTrayIcon::OnLButtonDown, [this] { log.push_back("ldown"); });
    QObject::connect(icon, &TRzTrayIcon::OnLButtonUp, [this] { log.push_back("lup"); });
    QObject::connect(icon, &TRzTrayIcon::OnLButtonDblClick, [this] { log.push_back("ldbl"); });
    QObject::connect(icon, &TRzTrayIcon::OnRButtonDown, [this] { log.push_back("rdown"); });
    QObject::connect(icon, &TRzTrayIcon::OnRButtonUp, [this] { log.push_back("rup"); });
    QObject::connect(icon, &TRzTrayIcon::OnRButtonDblClick, [this] { log.push_back("rdbl"); });
    QObject::connect(icon, &TRzTrayIcon::EnabledChanged,
                     [this](bool on) { log.push_back(on ? "present" : "absent"); });
  }
  void TearDown() override { menu.hide(); }

  std::vector<std::string> Take() { return std::exchange(log, {}); }

  bool trayHost = true;
  QWidget owner;
  QMenu menu;
  TRzTrayIcon* icon = nullptr;  // owned by `owner`
  std::vector<std::string> log;
};

using Log = std::vector<std::string>;

TEST_F(TrayIconTest, ComponentDefaults) {
  TRzTrayIcon fresh;
  EXPECT_EQ(fresh.PopupMenuOn, ticRightClickUp);
  EXPECT_EQ(fresh.RestoreOn, ticLeftDblClick);
  EXPECT_TRUE(fresh.HideOnMinimize);
  EXPECT_EQ(fresh.PopupMenu, nullptr);
  EXPECT_FALSE(fresh.Enabled());
  EXPECT_EQ(fresh.Hint(), "");
}

TEST_F(TrayIconTest, HintKeepsItsBytesAndTheTooltipShowsTheCutOrNothing) {
  icon->SetHint("Quillet 06.12.15");
  EXPECT_EQ(icon->Platform()->toolTip(), QStringLiteral("Quillet 06.12.15"));

  const std::string longHint = std::string(120, '-') + "歌词歌词";  // 132 bytes
  icon->SetHint(longHint);
  EXPECT_EQ(icon->Hint(), longHint);
  EXPECT_EQ(icon->Platform()->toolTip(),
            QString::fromUtf8(std::string(120, '-') + "歌词"));  // 126 bytes, no stray byte

  icon->SetHint("");
  EXPECT_TRUE(icon->Platform()->toolTip().isEmpty());
  EXPECT_EQ(icon->Hint(), "");
}

TEST_F(TrayIconTest, WithTheMainWindowsSettingsOnlyRightReleaseOpensTheMenu) {
  icon->RestoreOn = ticNone;  // as on the main window
  owner.show();
  for (int code : {513, 514, 516, 518}) {
    icon->IconNotify(code);
    EXPECT_FALSE(menu.isVisible()) << code;
  }
  EXPECT_EQ(Take(), (Log{"ldown", "lup", "rdown", "rdbl"}));

  icon->IconNotify(515);
  EXPECT_EQ(Take(), Log{"ldbl"});  // only its event; nothing restored, no menu

  icon->IconNotify(517);
  EXPECT_TRUE(menu.isVisible());
  EXPECT_TRUE(icon->MenuShowing());
  EXPECT_EQ(Take(), (Log{"menu", "rup"}));
  menu.hide();
  EXPECT_FALSE(icon->MenuShowing());

  // Each release opens it again (and its opening handler runs again).
  icon->IconNotify(517);
  EXPECT_EQ(Take(), (Log{"menu", "rup"}));

  icon->IconNotify(1027);  // balloon notifications are not used
  EXPECT_EQ(Take(), Log{});
}

TEST_F(TrayIconTest, ClickOfBothKindsRestoresThenOpensTheMenuThenRaisesItsEvent) {
  icon->SetEnabled(true);
  Take();
  icon->RestoreOn = ticRightClickUp;
  icon->PopupMenuOn = ticRightClickUp;
  owner.showMinimized();
  Take();
  icon->IconNotify(kTrayRButtonUp);
  EXPECT_EQ(Take(), (Log{"restore", "menu", "rup"}));
  EXPECT_FALSE(owner.isMinimized());
  EXPECT_TRUE(owner.isVisible());
}

TEST_F(TrayIconTest, RestoreDoesNothingWhileTheMenuIsShowing) {
  icon->RestoreOn = ticLeftDblClick;
  icon->IconNotify(kTrayRButtonUp);
  ASSERT_TRUE(menu.isVisible());
  Take();
  icon->IconNotify(kTrayLButtonDblClk);
  EXPECT_EQ(Take(), Log{"ldbl"});
  EXPECT_FALSE(owner.isVisible());

  menu.hide();
  icon->IconNotify(kTrayLButtonDblClk);
  EXPECT_EQ(Take(), (Log{"restore", "ldbl"}));
  EXPECT_TRUE(owner.isVisible());
}

TEST_F(TrayIconTest, MenuOpensWithItsRightEdgeAtThePointer) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QPoint pointer(screen.left() + screen.width() / 2, screen.top() + screen.height() / 3);
  QCursor::setPos(pointer);
  if (QCursor::pos() != pointer) GTEST_SKIP() << "the platform cannot place the pointer";
  icon->ShowMenu();
  ASSERT_TRUE(menu.isVisible());
  EXPECT_EQ(menu.geometry().right() + 1, pointer.x());
  EXPECT_EQ(menu.geometry().top(), pointer.y());
  menu.hide();

  // An item retitled while the menu opens changes its width; the right edge stays put.
  QAction* first = menu.actions().front();
  QObject::connect(&menu, &QMenu::aboutToShow, first, [first] {
    first->setText(QStringLiteral("a much, much longer first item than before"));
  });
  icon->ShowMenu();
  ASSERT_TRUE(menu.isVisible());
  EXPECT_EQ(menu.geometry().right() + 1, pointer.x());
}

TEST_F(TrayIconTest, NoMenuSetMeansNothingOpens) {
  icon->PopupMenu = nullptr;
  icon->IconNotify(kTrayRButtonUp);
  EXPECT_FALSE(icon->MenuShowing());
  EXPECT_EQ(Take(), Log{"rup"});
}

TEST_F(TrayIconTest, MinimisingHidesTheOwnerOnlyWithHideOnMinimizeAndAnIcon) {
  icon->SetEnabled(true);
  owner.show();
  Take();
  icon->HideOnMinimize = false;
  owner.showMinimized();
  QCoreApplication::processEvents();
  EXPECT_TRUE(owner.isVisible());
  EXPECT_EQ(Take(), Log{"minimize"});

  owner.showNormal();
  QCoreApplication::processEvents();
  Take();
  icon->HideOnMinimize = true;
  owner.showMinimized();
  QCoreApplication::processEvents();
  EXPECT_FALSE(owner.isVisible());
  EXPECT_EQ(Take(), Log{"minimize"});

  // Restoring brings it back.
  icon->RestoreApp();
  EXPECT_TRUE(owner.isVisible());
  EXPECT_FALSE(owner.isMinimized());

  // Without an icon there is no way back from hiding, so it stays minimised in the taskbar.
  trayHost = false;
  icon->TrayWatchTimer();
  ASSERT_FALSE(icon->Enabled());
  owner.showMinimized();
  QCoreApplication::processEvents();
  EXPECT_TRUE(owner.isVisible());
}

TEST_F(TrayIconTest, IconFollowsTheNotificationAreaAsItComesAndGoes) {
  trayHost = false;
  icon->SetEnabled(true);
  EXPECT_FALSE(icon->Enabled());
  EXPECT_FALSE(icon->Platform()->isVisible());
  EXPECT_TRUE(icon->TrayWatch->isActive());
  EXPECT_EQ(Take(), Log{});

  icon->TrayWatchTimer();
  EXPECT_FALSE(icon->Enabled());

  // A notification area appears: the icon is added.
  trayHost = true;
  icon->TrayWatchTimer();
  EXPECT_TRUE(icon->Enabled());
  EXPECT_TRUE(icon->Platform()->isVisible());
  EXPECT_EQ(Take(), Log{"present"});
  icon->TrayWatchTimer();
  EXPECT_EQ(Take(), Log{});

  // It goes away and comes back (the desktop's panel restarted): the icon is added again.
  trayHost = false;
  icon->TrayWatchTimer();
  EXPECT_FALSE(icon->Enabled());
  trayHost = true;
  icon->TrayWatchTimer();
  EXPECT_TRUE(icon->Enabled());
  EXPECT_EQ(Take(), (Log{"absent", "present"}));

  // Switched off, the icon stays away whatever the desktop does.
  icon->SetEnabled(false);
  EXPECT_FALSE(icon->Enabled());
  EXPECT_FALSE(icon->Platform()->isVisible());
  EXPECT_FALSE(icon->TrayWatch->isActive());
  icon->TrayWatchTimer();
  EXPECT_FALSE(icon->Enabled());
  EXPECT_EQ(Take(), Log{"absent"});
}

}  // namespace
}  // namespace quillet
