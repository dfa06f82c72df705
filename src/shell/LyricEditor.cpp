// The lyric editor's behaviour: stamping, resuming, importing, saving, editing, docking.
//
// The editor holds its text as the widget's Unicode text. An imported file is read whole as
// bytes, taken without a byte-order mark as the lyric strip takes it (UTF-16 becomes UTF-8), and
// decoded the way every stored text of the program is shown (UTF-8 when the bytes are valid
// UTF-8, else GB18030, which covers GBK). With embedded lyrics on, an audio file can be chosen too: the lyric
// it carries (UTF-8) is imported the same way. A saved file is always UTF-8: it holds every
// character the editor can hold, the lyric strip reads it unambiguously (a short GBK line can
// happen to be valid UTF-8 and would be shown wrongly), and players detect UTF-8 without a
// byte-order mark.
#include <QByteArray>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/DisplayText.h"
#include "common/FileIo.h"
#include "lyrics/LyricEditText.h"
#include "lyrics/Lyrics.h"
#include "player/TrackList.h"
#include "playlist/TagReader.h"
#include "shell/TfrmLyric.h"

namespace quillet {

namespace {

// A lyric text is a few kilobytes. A bigger file is refused instead of freezing the editor: a
// mebibyte on one line already takes the text control about a second to lay out.
constexpr std::size_t kMaxImportBytes = 1u << 20;

constexpr char16_t kByteOrderMark = 0xFEFF;

// The editor's outer sizes while docked, frame included.
constexpr int kSideWidth = 298;
constexpr int kEndHeight = 215;

// True when the text holds something other than blanks, control characters and line breaks
// once its ends are trimmed.
bool HasContent(const QString& text) {
  for (const QChar c : text) {
    if (c.unicode() > 32 && c != QChar::ParagraphSeparator && c != QChar::LineSeparator)
      return true;
  }
  return false;
}

// The editor's lines joined by CR LF, without a leading byte-order mark.
QString JoinedLines(const QTextDocument& doc) {
  QString text;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    if (b != doc.begin()) text += QStringLiteral("\r\n");
    text += b.text();
  }
  if (text.startsWith(kByteOrderMark)) text.remove(0, 1);
  return text;
}

// Edits made inside `edit` leave no undo step, and the history before them is emptied too.
template <typename Edit>
void EditWithoutUndo(QPlainTextEdit* editor, Edit edit) {
  QTextDocument* doc = editor->document();
  doc->setUndoRedoEnabled(false);
  edit();
  doc->setUndoRedoEnabled(true);
  doc->clearUndoRedoStacks();
}

// Wayland does not let a program place its windows: there the editor stays where it is shown.
bool WindowsCanBePlaced() {
  return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

}  // namespace

// With exact timing: the stamp [mm:ss.xx] of what is heard now (the output delay taken off, the
// text's [offset:] added back), put before the caret line and the lines stamped with it (an
// original and its translations).
void TfrmLyric::InsertExactStamp(int k) {
  const std::optional<std::int64_t> playMs = Player.PauseForStampMs();
  if (!playMs) return;
  std::vector<std::string> lines;
  for (QTextBlock b = MOLyric->document()->begin(); b.isValid(); b = b.next()) {
    lines.push_back(b.text().toStdString());
  }
  if (k < 0 || static_cast<std::size_t>(k) >= lines.size()) return;
  const std::int64_t ms =
      EditorStampMs(*playMs, Player.Shared.options.lyricDelayMs, LyricOffsetOf(lines));
  const QString stamp = QString::fromStdString(StampLine({}, HundredthsTimeText(ms)));
  const auto [first, last] = StampGroupRange(lines, static_cast<std::size_t>(k));
  QTextCursor cursor;
  EditWithoutUndo(MOLyric, [&] {
    for (std::size_t i = first; i <= last; ++i) {
      cursor = QTextCursor(MOLyric->document()->findBlockByNumber(static_cast<int>(i)));
      cursor.insertText(stamp);
    }
  });
  cursor = QTextCursor(MOLyric->document()->findBlockByNumber(k));
  cursor.movePosition(QTextCursor::EndOfBlock);
  MOLyric->setTextCursor(cursor);
}

void TfrmLyric::btnInsertTagClick() {
  const int k = CaretLine();
  if (Player.Shared.options.exactLyrics) {
    InsertExactStamp(k);
    return;
  }
  const std::optional<std::string> time = Player.PauseForStamp();
  if (!time) return;
  const QString stamp = QString::fromStdString(StampLine({}, *time));

  const QTextBlock line = MOLyric->document()->findBlockByNumber(k);
  if (!line.isValid()) return;
  QTextCursor cursor(line);
  EditWithoutUndo(MOLyric, [&] { cursor.insertText(stamp); });
  cursor.movePosition(QTextCursor::EndOfBlock);
  MOLyric->setTextCursor(cursor);
}

void TfrmLyric::btnTagPlayClick() { Player.ResumeFromStamp(); }

void TfrmLyric::btnCloseClick() {
  if (RestoreMain) RestoreMain();
  // Hidden, the editor has nothing to keep in place.
  frmLyricTimer->stop();
  close();
}

void TfrmLyric::ItemLoadClick() {
  ODLoadLyric.directory = PathText(State.LyricDir);
  ODLoadLyric.title = QString::fromUtf8("导入歌词文本...");
  ODLoadLyric.filter = QString::fromUtf8("歌词文本（*.lrc,*.txt）|*.lrc;*.txt");
  // With embedded lyrics on, the lyric an audio file carries can be imported too.
  const bool embedded = State.options.embeddedLyrics;
  if (embedded) {
    ODLoadLyric.filter += QString::fromUtf8(
        "|歌曲文件中的内嵌歌词（*.mp3,*.wav,*.flac,*.ogg）|*.mp3;*.wav;*.flac;*.ogg;*.opus");
  }
  ODLoadLyric.filterIndex = 0;
  ODLoadLyric.multiple = false;
  const Dialogs::FileResult chosen = Dlg.openFiles(this, ODLoadLyric);
  if (!chosen.accepted || chosen.files.isEmpty()) return;

  const std::string path = LocalBytes(chosen.files.front());
  std::string bytes;
  IoResult io;
  const QString suffix = QFileInfo(chosen.files.front()).suffix().toLower();
  if (embedded && suffix != QLatin1String("lrc") && suffix != QLatin1String("txt")) {
    if (!IsRegularFile(path)) {
      io = {false, "cannot read " + path + ": not a regular file"};
    } else {
      bytes = ReadEmbeddedTags(path, LegacyEncodingFor(State.options.tagEncoding), kTagLyric).lyric;
      if (bytes.empty()) {
        ShowNotice(Dlg, this, "这个歌曲文件没有内嵌歌词！");
        return;
      }
    }
  } else {
    io = ReadFileHead(path, kMaxImportBytes + 1, &bytes);
  }
  if (!io.ok) {
    ShowErrorBox(Dlg, this, State.VersionText, io.error);
    return;
  }
  if (bytes.size() > kMaxImportBytes) {
    ShowNotice(Dlg, this, "歌词文本太大，不能导入！");
    return;
  }

  // A byte-order mark would stay invisible in the editor and be written back on save; a UTF-16
  // text is read as the strip reads it.
  QString decoded = DisplayText(LyricTextBytes(bytes));
  if (decoded.startsWith(kByteOrderMark)) decoded.remove(0, 1);
  const std::string text = CompleteHeaderSkeleton(NormaliseLineBreaks(decoded.toStdString()));
  // Replacing the whole text empties the undo history, as the skeleton lines must.
  MOLyric->setPlainText(QString::fromStdString(text));
}

void TfrmLyric::ItemSaveClick() {
  SDSaveLyric.directory = PathText(State.LyricDir);
  SDSaveLyric.title = QString::fromUtf8("保存歌词为...");
  SDSaveLyric.filter = QString::fromUtf8("歌词文本（*.lrc）|*.lrc");
  SDSaveLyric.filterIndex = 0;
  SDSaveLyric.defaultSuffix = QStringLiteral("lrc");
  SDSaveLyric.multiple = false;
  const Dialogs::FileResult chosen = Dlg.saveFile(this, SDSaveLyric);
  if (!chosen.accepted || chosen.files.isEmpty()) return;

  const std::string path = LocalBytes(chosen.files.front());
  if (PathExists(path) && !AskOkCancel(Dlg, this, "歌词文件已经存在，要覆盖它吗?")) return;
  const IoResult io = WriteFileAtomic(path, JoinedLines(*MOLyric->document()).toStdString());
  if (!io.ok) ShowErrorBox(Dlg, this, State.VersionText, io.error);
}

void TfrmLyric::ItemUndoClick() { MOLyric->undo(); }

void TfrmLyric::ItemPasteClick() { MOLyric->paste(); }

void TfrmLyric::ItemCopyClick() { MOLyric->copy(); }

void TfrmLyric::ItemDelClick() {
  QTextCursor cursor = MOLyric->textCursor();
  cursor.removeSelectedText();
  MOLyric->setTextCursor(cursor);
}

void TfrmLyric::ItemClearClick() {
  if (!AskOkCancel(Dlg, this, "您确定要清空所有的内容吗？")) return;
  // One undoable step, so a text cleared by mistake can be brought back.
  QTextCursor cursor(MOLyric->document());
  cursor.select(QTextCursor::Document);
  cursor.removeSelectedText();
  MOLyric->setTextCursor(cursor);
}

void TfrmLyric::frmLyricTimerTimer() {
  DockLyricEditor();
  // Closed by its frame or hidden with the main window: nothing to follow until it opens again.
  if (!isVisible()) frmLyricTimer->stop();
}

void TfrmLyric::DockLyricEditor() {
  if (!WindowsCanBePlaced()) return;
  QAction* side = ItemLeft->isChecked()     ? ItemLeft
                  : ItemRight->isChecked()  ? ItemRight
                  : ItemTop->isChecked()    ? ItemTop
                  : ItemBottom->isChecked() ? ItemBottom
                                            : nullptr;
  if (side == nullptr) return;

  // Outer bounds, frame included. Before the editor is first shown its frame is not known
  // (it counts as none), and a window manager would put the client area where the frame
  // should go; so it is only sized then, and placed once it is showing.
  const QRect m = Main.frameGeometry();
  const QSize frame = frameGeometry().size() - size();
  const bool sideways = side == ItemLeft || side == ItemRight;
  const QSize outer = sideways ? QSize(kSideWidth, m.height()) : QSize(m.width(), kEndHeight);
  const QSize client(std::max(1, outer.width() - frame.width()),
                     std::max(1, outer.height() - frame.height()));
  if (client != size()) SetClientSize(client.width(), client.height());

  QPoint at;
  if (side == ItemLeft) {
    at = QPoint(m.left() + m.width(), m.top());
  } else if (side == ItemRight) {
    at = QPoint(m.left() - outer.width(), m.top());
  } else if (side == ItemTop) {
    at = QPoint(m.left(), m.top() - outer.height());
  } else {
    at = QPoint(m.left(), m.top() + m.height());
  }
  if (isVisible() && frameGeometry().topLeft() != at) move(at);

  const int w = PanelBox->width();
  const int lefts[3] = {2, sideways ? 107 : w / 2 - 37, sideways ? 211 : w - 75};
  QPushButton* buttons[3] = {btnInsertTag, btnTagPlay, btnClose};
  for (int i = 0; i < 3; ++i) {
    if (buttons[i]->x() != lefts[i]) buttons[i]->move(lefts[i], buttons[i]->y());
  }
}

namespace {

// The clicked side's check mark is toggled and every other side is cleared.
void ChooseSide(QAction* clicked, std::initializer_list<QAction*> sides) {
  const bool on = !clicked->isChecked();
  for (QAction* side : sides) side->setChecked(side == clicked && on);
}

}  // namespace

void TfrmLyric::ItemLeftClick() {
  ChooseSide(ItemLeft, {ItemLeft, ItemRight, ItemTop, ItemBottom});
}
void TfrmLyric::ItemRightClick() {
  ChooseSide(ItemRight, {ItemLeft, ItemRight, ItemTop, ItemBottom});
}
void TfrmLyric::ItemTopClick() { ChooseSide(ItemTop, {ItemLeft, ItemRight, ItemTop, ItemBottom}); }
void TfrmLyric::ItemBottomClick() {
  ChooseSide(ItemBottom, {ItemLeft, ItemRight, ItemTop, ItemBottom});
}

void TfrmLyric::PMLyricPopup() {
  const bool hasText = HasContent(MOLyric->toPlainText());
  ItemClear->setEnabled(hasText);
  ItemSave->setEnabled(hasText);
  const bool hasSelection = HasContent(MOLyric->textCursor().selectedText());
  ItemDel->setEnabled(hasSelection);
  ItemCopy->setEnabled(hasSelection);
  const QClipboard* clipboard = QGuiApplication::clipboard();
  ItemPaste->setEnabled(clipboard != nullptr && HasContent(clipboard->text()));
}

int TfrmLyric::CaretLine() const {
  return MOLyric->document()->findBlock(MOLyric->textCursor().selectionStart()).blockNumber();
}

}  // namespace quillet
