// The lyric editor's commands: stamping and resuming against a scripted clock, importing and
// saving real files, clearing, the editing commands and the context menu's enabled states.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <string>
#include <vector>

#include "lyrics/Lyrics.h"
#include "support/AppFixture.h"
#include "support/ScriptedEngine.h"

namespace quillet {
namespace {

using testing::AppFixture;
using testing::ReadBytes;
using testing::ScriptedEngine;
using testing::WriteBytes;

class LyricEditorTest : public ::testing::Test {
 protected:
  // Stream 7 is the one the clock runs for: its position is the play time the test sets.
  LyricEditorTest() : app(Options(engine)) {
    engine.AddFile("/clock.wav", 3600);
    app.session().List().Append(PlaylistRow{"clock.wav", {}, {}, "60:00", "/clock.wav"});
  }

  static AppFixture::Options Options(ScriptedEngine& e) {
    AppFixture::Options o;
    o.engine = &e;
    return o;
  }

  TfrmLyric& ed() { return app.lyric(); }
  QPlainTextEdit& memo() { return *app.lyric().MOLyric; }

  void SetText(const char* utf8) { memo().setPlainText(QString::fromUtf8(utf8)); }
  std::vector<std::string> Text() {
    std::vector<std::string> out;
    for (QTextBlock b = memo().document()->begin(); b.isValid(); b = b.next())
      out.push_back(b.text().toStdString());
    return out;
  }
  void PutCaret(int line, int column = 0) {
    QTextCursor c(memo().document()->findBlockByNumber(line));
    c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, column);
    memo().setTextCursor(c);
  }
  void Select(int fromLine, int fromColumn, int toLine, int toColumn) {
    QTextCursor c(memo().document()->findBlockByNumber(fromLine));
    c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, fromColumn);
    const int end = memo().document()->findBlockByNumber(toLine).position() + toColumn;
    c.setPosition(end, QTextCursor::KeepAnchor);
    memo().setTextCursor(c);
  }
  // The player in state `s` over stream 7 at `at` seconds, the engine's log emptied.
  void Put(TPlayerState s, double at = 0) {
    PlaySession& p = app.session();
    engine.nextHandle = 7;
    p.PlayRow(0);
    p.Tick();  // the transport commands follow the track that plays
    engine.At(7, at);
    if (s == psPaused) p.PauseForStamp();
    if (s == psSeeking) p.BeginSeek();
    if (s == psStopped) {
      engine.End(7);  // played out: the stream stays open, stopped
      p.Tick();
    }
    engine.calls.clear();
  }
  void Playing(double at) { Put(psPlaying, at); }

  // Chooses `path` in the next file dialog.
  void Choose(const std::string& path) {
    Dialogs::FileResult r;
    r.accepted = true;
    r.files << QString::fromStdString(path);
    app.dialogs().fileResults.push_back(r);
  }
  std::string Import(const std::string& bytes) {
    const std::string path = dir.File("in.lrc");
    WriteBytes(path, bytes);
    Choose(path);
    ed().ItemLoadClick();
    return path;
  }
  std::string Save(const char* name = "out.lrc") {
    const std::string path = dir.File(name);
    Choose(path);
    ed().ItemSaveClick();
    std::string bytes;
    EXPECT_TRUE(ReadBytes(path, &bytes));
    return bytes;
  }

  ScriptedEngine engine;
  AppFixture app;
  testing::TempDir dir;
};

using Lines = std::vector<std::string>;

// ---- Stamping and resuming --------------------------------------------------------------------

TEST_F(LyricEditorTest, StampPausesAndPutsThePlayTimeInFrontOfTheCaretLine) {
  SetText("[TI:]\nfirst\nsecond\nthird");
  PutCaret(2, 3);
  Playing(83.9);
  ed().btnInsertTagClick();

  EXPECT_EQ(engine.Count("pause "), 1);
  EXPECT_EQ(engine.lastHandle, 7u);
  EXPECT_EQ(app.session().Snapshot().state, psPaused);
  EXPECT_EQ(Text(), (Lines{"[TI:]", "first", "[01:23]second", "third"}));
  // The caret stays on the stamped line, at its end, with nothing selected.
  const QTextCursor c = memo().textCursor();
  EXPECT_FALSE(c.hasSelection());
  EXPECT_EQ(c.blockNumber(), 2);
  EXPECT_TRUE(c.atBlockEnd());
}

TEST_F(LyricEditorTest, StampingTwicePutsTheNewerStampFirstAndUndoKeepsBoth) {
  SetText("line");
  memo().moveCursor(QTextCursor::End);
  memo().insertPlainText(QStringLiteral(" typed"));  // an undoable edit before the stamps
  PutCaret(0);
  Playing(12.4);
  ed().btnInsertTagClick();
  ed().btnTagPlayClick();
  engine.At(7, 15.0);
  ed().btnInsertTagClick();  // the caret is still on line 0
  EXPECT_EQ(Text(), (Lines{"[00:15][00:12]line typed"}));

  ed().ItemUndoClick();
  EXPECT_EQ(Text(), (Lines{"[00:15][00:12]line typed"}));
  EXPECT_FALSE(memo().document()->isUndoAvailable());

  // The doubly stamped line is found at both seconds.
  const std::vector<std::string> lyric{Text()[0]};
  EXPECT_EQ(ShowLyricText(lyric, "00:12"), "line typed");
  EXPECT_EQ(ShowLyricText(lyric, "00:15"), "line typed");
}

// With exact timing: hundredths, the output delay taken off and the text's offset added back,
// and an original stamped together with its translation.
TEST_F(LyricEditorTest, ExactStampsHundredthsAndAWholeTranslationGroup) {
  app.state().options.exactLyrics = true;
  app.state().options.lyricDelayMs = 200;
  SetText("[offset:500]\n[00:10.00]原文\n[00:10.00]trans\nnext");
  PutCaret(2);
  Playing(12.34);
  ed().btnInsertTagClick();
  EXPECT_EQ(app.session().Snapshot().state, psPaused);
  EXPECT_EQ(Text(), (Lines{"[offset:500]", "[00:12.64][00:10.00]原文", "[00:12.64][00:10.00]trans",
                           "next"}));
  ed().btnTagPlayClick();
  PutCaret(3);
  ed().btnInsertTagClick();
  EXPECT_EQ(Text()[3], "[00:12.64]next");
}

TEST_F(LyricEditorTest, StampAtPositionZeroOrOnAnEmptyLine) {
  SetText("a\n\nb");
  PutCaret(0);
  Playing(0.0);
  ed().btnInsertTagClick();
  EXPECT_EQ(Text()[0], "[]a");

  ed().btnTagPlayClick();
  engine.At(7, 61.0);
  PutCaret(1);
  ed().btnInsertTagClick();
  EXPECT_EQ(Text(), (Lines{"[]a", "[01:01]", "b"}));
}

TEST_F(LyricEditorTest, StampOfAnEmptyEditorStampsItsOneLine) {
  Playing(5.2);
  ed().btnInsertTagClick();
  EXPECT_EQ(Text(), (Lines{"[00:05]"}));
}

TEST_F(LyricEditorTest, StampWithASelectionOverSeveralLinesStampsOnlyWhereItStarts) {
  SetText("one\ntwo\nthree\nfour");
  Select(1, 1, 3, 2);
  EXPECT_EQ(ed().CaretLine(), 1);
  Playing(7.0);
  ed().btnInsertTagClick();
  EXPECT_EQ(Text(), (Lines{"one", "[00:07]two", "three", "four"}));
  EXPECT_FALSE(memo().textCursor().hasSelection());
  EXPECT_EQ(memo().textCursor().blockNumber(), 1);

  // A selection made backwards starts where it ends on screen.
  QTextCursor c(memo().document()->findBlockByNumber(3));
  c.setPosition(memo().document()->findBlockByNumber(2).position() + 1, QTextCursor::KeepAnchor);
  memo().setTextCursor(c);
  EXPECT_EQ(ed().CaretLine(), 2);
}

TEST_F(LyricEditorTest, StampDoesNothingUnlessPlaying) {
  SetText("x");
  for (TPlayerState s : {psStopped, psPaused, psSeeking}) {
    Put(s, 30);
    ed().btnInsertTagClick();
    EXPECT_EQ(Text(), (Lines{"x"})) << int(s);
    EXPECT_EQ(app.session().Snapshot().state, s);
    EXPECT_EQ(engine.Count("pause "), 0);
  }
  EXPECT_TRUE(app.dialogs().messages.empty());
}

TEST_F(LyricEditorTest, ResumePlaysWithoutRestartOnlyFromAPause) {
  for (TPlayerState s : {psStopped, psPlaying, psSeeking}) {
    Put(s);
    ed().btnTagPlayClick();
    EXPECT_EQ(app.session().Snapshot().state, s);
    EXPECT_EQ(engine.Count("play "), 0);
  }

  // A pause made in the main window is resumed the same way.
  Put(psPlaying);
  app.main().Transport->btnPauseClick();
  engine.calls.clear();
  ed().btnTagPlayClick();
  EXPECT_EQ(engine.Count("play "), 1);
  EXPECT_FALSE(engine.lastRestart);
  EXPECT_EQ(engine.lastHandle, 7u);
  EXPECT_EQ(app.session().Snapshot().state, psPlaying);
}

TEST_F(LyricEditorTest, ResumeButtonFollowsThePause) {
  app.main().show();
  app.main().Files->btnEditLyricClick();
  EXPECT_FALSE(ed().btnTagPlay->isEnabled());
  Playing(20.0);
  app.main().Transport->btnPauseClick();
  EXPECT_EQ(engine.Count("pause "), 1);
  ed().frmLyricTimerTimer();
  EXPECT_TRUE(ed().btnTagPlay->isEnabled());
  ed().btnTagPlay->click();
  EXPECT_EQ(app.session().Snapshot().state, psPlaying);
  ed().frmLyricTimerTimer();
  EXPECT_FALSE(ed().btnTagPlay->isEnabled());
  app.session().BeginSeek();
  EXPECT_FALSE(ed().btnTagPlay->isEnabled());
}

// ---- Import -----------------------------------------------------------------------------------

TEST_F(LyricEditorTest, ImportSetsUpItsDialogAndCancelKeepsTheText) {
  app.state().LyricDir = dir.path();
  SetText("kept");
  ed().ItemLoadClick();
  ASSERT_EQ(app.dialogs().fileRequests.size(), 1u);
  const Dialogs::FileRequest& r = app.dialogs().fileRequests[0];
  EXPECT_EQ(r.title, QString::fromUtf8("导入歌词文本..."));
  EXPECT_EQ(r.filter, QString::fromUtf8("歌词文本（*.lrc,*.txt）|*.lrc;*.txt"));
  EXPECT_EQ(r.directory, QString::fromStdString(dir.path()));
  EXPECT_FALSE(r.multiple);
  EXPECT_EQ(Text(), (Lines{"kept"}));
}

TEST_F(LyricEditorTest, ImportCompletesTheHeaderSkeleton) {
  struct Case {
    const char* file;
    const char* saved;  // what saving right after the import writes
  };
  const Case cases[] = {
      // Lower-case tags count; nothing is added.
      {"[ti:T]\r\n[ar:A]\r\n[al:L]\r\n[by:B]\r\n[00:01]x",
       "[ti:T]\r\n[ar:A]\r\n[al:L]\r\n[by:B]\r\n[00:01]x"},
      // The title goes above; the artist line then stands in its place.
      {"[ar:Singer]\r\nla la", "[TI:]\r\n[ar:Singer]\r\n[AL:]\r\n[BY:]\r\nla la"},
      // An empty file: the four lines, each followed by a line break.
      {"", "[TI:]\r\n[AR:]\r\n[AL:]\r\n[BY:]\r\n"},
      // One line without a break: no break after the last added line.
      {"[TI:x]", "[TI:x]\r\n[AR:]\r\n[AL:]\r\n[BY:]"},
      // Lone CR and lone LF each become one line break; LF CR is two.
      {"[ti:a]\r[ar:b]\n[al:c]\r\n[by:d]\n\rz\r",
       "[ti:a]\r\n[ar:b]\r\n[al:c]\r\n[by:d]\r\n\r\nz\r\n"},
      // A tag further along the line still counts.
      {"x[TI:y\nz", "x[TI:y\r\n[AR:]\r\n[AL:]\r\n[BY:]\r\nz"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SetText("previous text");
    Import(c.file);
    const std::string name = "case" + std::to_string(n++) + ".lrc";
    EXPECT_EQ(Save(name.c_str()), c.saved) << c.file;
    // The skeleton is not an undo step.
    EXPECT_FALSE(memo().document()->isUndoAvailable()) << c.file;
  }
  EXPECT_EQ(app.dialogs().messages.size(), 0u);
}

TEST_F(LyricEditorTest, ImportShowsGbkTextAndSavesItAsUtf8ThatTheLyricStripReads) {
  // "说" alone in GBK (CB B5) is also valid UTF-8 for another character, so a line holding only
  // it would be shown wrongly if the file stayed GBK.
  const std::string gbk =
      "[ti:\xCB\xB5]\r\n[ar:\xB8\xE8\xCA\xD6]\r\n[al:]\r\n[by:]\r\n[00:03]\xCB\xB5\r\n";
  Import(gbk);
  EXPECT_EQ(Text()[0], "[ti:说]");
  EXPECT_EQ(Text()[1], "[ar:歌手]");
  EXPECT_EQ(Text()[4], "[00:03]说");

  const std::string saved = Save();
  EXPECT_EQ(saved, "[ti:说]\r\n[ar:歌手]\r\n[al:]\r\n[by:]\r\n[00:03]说\r\n");
  const std::vector<std::string> lines = SplitLyricLines(saved);
  EXPECT_EQ(ShowLyricText(lines, kHeaderInfoKey), "标题：说    歌手名：歌手    专辑：    By：    ");
  EXPECT_EQ(ShowLyricText(lines, "00:03"), "说");
}

TEST_F(LyricEditorTest, ImportDropsAByteOrderMarkSoNoneIsSavedAgain) {
  const std::string in = Import("\xEF\xBB\xBFhello\r\n");
  EXPECT_EQ(Text(), (Lines{"[TI:]", "[AR:]", "[AL:]", "[BY:]", "hello", ""}));
  EXPECT_EQ(Save(), "[TI:]\r\n[AR:]\r\n[AL:]\r\n[BY:]\r\nhello\r\n");

  // UTF-16 with its mark, as Notepad saves "Unicode": read as text, the file left as it was.
  const std::string utf16(
      "\xFF\xFE[\0t\0i\0:\0\x4C\x6B]\0\r\0\n\0[\0\x30\0\x30\0:\0\x30\0\x31\0]\0\x4C\x6B", 34);
  WriteBytes(in, utf16);
  Choose(in);
  ed().ItemLoadClick();
  EXPECT_EQ(Text(), (Lines{"[ti:歌]", "[AR:]", "[AL:]", "[BY:]", "[00:01]歌"}));
  std::string kept;
  ASSERT_TRUE(ReadBytes(in, &kept));
  EXPECT_EQ(kept, utf16);

  // One typed or pasted at the very start is not written either.
  SetText("\xEF\xBB\xBF[ti:x]");
  EXPECT_EQ(Save("typed.lrc"), "[ti:x]");
}

TEST_F(LyricEditorTest, ImportFailureIsReportedAndKeepsTheText) {
  SetText("kept");
  Choose(dir.File("missing.lrc"));
  ed().ItemLoadClick();
  Choose(dir.path());  // a folder
  ed().ItemLoadClick();
  EXPECT_EQ(Text(), (Lines{"kept"}));
  ASSERT_EQ(app.dialogs().messages.size(), 2u);
  for (const auto& m : app.dialogs().messages) {
    EXPECT_EQ(m.title, QString::fromUtf8(kVersionText));
    EXPECT_EQ(m.icon, Dialogs::Icon::Error);
    EXPECT_TRUE(m.text.contains(QStringLiteral("missing.lrc")) ||
                m.text.contains(QString::fromStdString(dir.path())))
        << m.text.toStdString();
  }
}

TEST_F(LyricEditorTest, ImportRefusesAHugeFileWithANotice) {
  SetText("kept");
  Import(std::string((1u << 20) + 1, 'a'));
  EXPECT_EQ(Text(), (Lines{"kept"}));
  ASSERT_EQ(app.dialogs().messages.size(), 1u);
  EXPECT_EQ(app.dialogs().messages[0].text, QString::fromUtf8("歌词文本太大，不能导入！"));
  EXPECT_EQ(app.dialogs().messages[0].icon, Dialogs::Icon::Information);

  // Up to the limit it is imported.
  std::string full;
  while (full.size() < (1u << 20)) full += "[00:01]la\n";
  full.resize(1u << 20);
  Import(full);
  EXPECT_EQ(app.dialogs().messages.size(), 1u);
  EXPECT_EQ(memo().blockCount(), 4 + (1 << 20) / 10 + 1);
}

// ---- Save -------------------------------------------------------------------------------------

TEST_F(LyricEditorTest, SaveSetsUpItsDialogAndWritesCrLfWithoutAByteOrderMark) {
  app.state().LyricDir = dir.path();
  SetText("[TI:中文]\n[00:01]a\n");
  EXPECT_EQ(Save(), "[TI:中文]\r\n[00:01]a\r\n");
  SetText("no break at the end");
  EXPECT_EQ(Save("b.lrc"), "no break at the end");

  const Dialogs::FileRequest& r = app.dialogs().fileRequests.at(0);
  EXPECT_EQ(r.title, QString::fromUtf8("保存歌词为..."));
  EXPECT_EQ(r.filter, QString::fromUtf8("歌词文本（*.lrc）|*.lrc"));
  EXPECT_EQ(r.defaultSuffix, QStringLiteral("lrc"));
  EXPECT_EQ(r.directory, QString::fromStdString(dir.path()));
  EXPECT_TRUE(app.dialogs().messages.empty());  // new files: no question
}

TEST_F(LyricEditorTest, SaveOverAnExistingFileAsksAndCancelLeavesIt) {
  const std::string path = dir.File("old.lrc");
  WriteBytes(path, "old content");
  SetText("new");
  app.dialogs().answers.push_back(Dialogs::Answer::Cancel);
  Choose(path);
  ed().ItemSaveClick();
  std::string bytes;
  ASSERT_TRUE(ReadBytes(path, &bytes));
  EXPECT_EQ(bytes, "old content");
  ASSERT_EQ(app.dialogs().messages.size(), 1u);
  const auto& q = app.dialogs().messages[0];
  EXPECT_EQ(q.text, QString::fromUtf8("歌词文件已经存在，要覆盖它吗?"));
  EXPECT_EQ(q.title, QStringLiteral("Quillet"));
  EXPECT_EQ(q.icon, Dialogs::Icon::Question);
  EXPECT_EQ(q.buttons, Dialogs::Buttons::OkCancel);

  app.dialogs().answers.push_back(Dialogs::Answer::Ok);
  Choose(path);
  ed().ItemSaveClick();
  ASSERT_TRUE(ReadBytes(path, &bytes));
  EXPECT_EQ(bytes, "new");
}

TEST_F(LyricEditorTest, SaveCancelledOrFailingWritesNothing) {
  SetText("text");
  ed().ItemSaveClick();  // the dialog is cancelled
  EXPECT_TRUE(app.dialogs().messages.empty());

  Choose(dir.File("no-such-folder/x.lrc"));
  ed().ItemSaveClick();
  ASSERT_EQ(app.dialogs().messages.size(), 1u);
  EXPECT_EQ(app.dialogs().messages[0].icon, Dialogs::Icon::Error);
  EXPECT_EQ(app.dialogs().messages[0].title, QString::fromUtf8(kVersionText));
  std::string bytes;
  EXPECT_FALSE(ReadBytes(dir.File("no-such-folder/x.lrc"), &bytes));
  EXPECT_EQ(Text(), (Lines{"text"}));
}

// ---- Clear and the editing commands -----------------------------------------------------------

TEST_F(LyricEditorTest, ClearAsksFirstAndCanBeUndone) {
  SetText("a\nb");
  app.dialogs().answers.push_back(Dialogs::Answer::Cancel);
  ed().ItemClearClick();
  EXPECT_EQ(Text(), (Lines{"a", "b"}));
  ASSERT_EQ(app.dialogs().messages.size(), 1u);
  EXPECT_EQ(app.dialogs().messages[0].text, QString::fromUtf8("您确定要清空所有的内容吗？"));
  EXPECT_EQ(app.dialogs().messages[0].icon, Dialogs::Icon::Question);
  EXPECT_EQ(app.dialogs().messages[0].buttons, Dialogs::Buttons::OkCancel);

  ed().ItemClearClick();  // answered OK
  EXPECT_EQ(memo().toPlainText(), QString());
  ed().ItemUndoClick();
  EXPECT_EQ(Text(), (Lines{"a", "b"}));
}

TEST_F(LyricEditorTest, CopyPasteAndDeleteWorkOnTheSelection) {
  SetText("alpha beta");
  Select(0, 0, 0, 5);
  ed().ItemCopyClick();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("alpha"));
  Select(0, 6, 0, 10);
  ed().ItemPasteClick();
  EXPECT_EQ(Text(), (Lines{"alpha alpha"}));
  Select(0, 0, 0, 6);
  ed().ItemDelClick();
  EXPECT_EQ(Text(), (Lines{"alpha"}));
  ed().ItemUndoClick();
  EXPECT_EQ(Text(), (Lines{"alpha alpha"}));
}

TEST_F(LyricEditorTest, MenuEnablesItemsByTextSelectionAndClipboard) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  ed().PMLyricPopup();
  EXPECT_FALSE(ed().ItemClear->isEnabled());
  EXPECT_FALSE(ed().ItemSave->isEnabled());
  EXPECT_FALSE(ed().ItemCopy->isEnabled());
  EXPECT_FALSE(ed().ItemDel->isEnabled());
  EXPECT_FALSE(ed().ItemPaste->isEnabled());
  for (QAction* always : {ed().ItemLoad, ed().ItemUndo, ed().ItemLeft, ed().ItemRight, ed().ItemTop,
                          ed().ItemBottom, ed().ItemClose})
    EXPECT_TRUE(always->isEnabled()) << always->objectName().toStdString();

  // Blanks, tabs and line breaks only count as empty, also in a selection over two lines.
  SetText("  \t\n \n ");
  clipboard->setText(QStringLiteral(" \r\n\t"));
  Select(0, 0, 1, 1);
  ed().PMLyricPopup();
  EXPECT_FALSE(ed().ItemClear->isEnabled());
  EXPECT_FALSE(ed().ItemSave->isEnabled());
  EXPECT_FALSE(ed().ItemCopy->isEnabled());
  EXPECT_FALSE(ed().ItemDel->isEnabled());
  EXPECT_FALSE(ed().ItemPaste->isEnabled());

  SetText("  word  \nnext");
  clipboard->setText(QStringLiteral(" x "));
  Select(0, 1, 0, 3);  // " w"
  ed().PMLyricPopup();
  EXPECT_TRUE(ed().ItemClear->isEnabled());
  EXPECT_TRUE(ed().ItemSave->isEnabled());
  EXPECT_TRUE(ed().ItemCopy->isEnabled());
  EXPECT_TRUE(ed().ItemDel->isEnabled());
  EXPECT_TRUE(ed().ItemPaste->isEnabled());

  // Opening the menu runs the same step.
  SetText("");
  ed().ItemClear->setEnabled(true);
  emit ed().PMLyric->aboutToShow();
  EXPECT_FALSE(ed().ItemClear->isEnabled());
}

// ---- Close ------------------------------------------------------------------------------------

TEST_F(LyricEditorTest, CloseCentresTheMainWindowAndHidesTheEditorKeepingItsText) {
  TfrmMain& m = app.main();
  m.show();
  for (int viaMenu = 0; viaMenu < 2; ++viaMenu) {
    m.Files->btnEditLyricClick();
    ASSERT_TRUE(ed().isVisible());
    SetText("kept");
    m.move(10, 10);
    if (viaMenu) {
      ed().ItemClose->trigger();
    } else {
      ed().btnClose->click();
    }
    EXPECT_FALSE(ed().isVisible());
    EXPECT_FALSE(ed().frmLyricTimer->isActive());
    EXPECT_EQ(Text(), (Lines{"kept"}));
    EXPECT_EQ(m.frameGeometry().center(), m.screen()->geometry().center());
    EXPECT_TRUE(m.acceptDrops());
  }
}

}  // namespace
}  // namespace quillet
