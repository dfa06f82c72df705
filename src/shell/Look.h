// The windows' shared look: the Kai font, the named colours and the pictures.
#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <functional>

class QAction;
class QMenu;
class QPushButton;

namespace quillet {

// The face every window names; where it is missing, a Kai face stands in for it.
inline constexpr const char* kKaiFace = "楷体_GB2312";
inline constexpr const char* kKaiSubstitute = "AR PL UKai CN";
// Registers the stand-in face once; every window does it before it builds its fonts.
void InstallFontSubstitutes();
QFont KaiFont(int pixelSize = 12, bool bold = false);

inline const QColor kNavy{0, 0, 128};
inline const QColor kMaroon{128, 0, 0};
inline const QColor kSkyBlue{166, 202, 240};
inline const QColor kRed{255, 0, 0};
inline const QColor kBlue{0, 0, 255};
inline const QColor kPurple{128, 0, 128};

enum class Picture {
  Add,
  Delete,
  Save,
  Load,
  About,
  Exit,
  Stop,
  Previous,
  Play,
  Pause,
  Next,
  Speaker,
  LyricImport,
  LyricUndo,
  LyricCopy,
  LyricClear,
  LyricClose,
  LyricStamp,
};

// The picture's resource path (":/pictures/....svg").
QString PicturePath(Picture picture);
// The picture at size × size pixels.
QPixmap PicturePixmap(Picture picture, int size = 16);
// The picture with its greyed state for disabled buttons and menu items.
QIcon PictureIcon(Picture picture);
// 16 × 16, 32 × 32 and 48 × 48 renderings of the application icon.
QIcon ApplicationIcon();

// Colours a widget's text (and its button text) keep in every state.
void SetTextColour(QWidget* widget, const QColor& colour);

// Puts a window in the middle of the screen it is on.
void CentreOnScreen(QWidget* window);

// A 75 × 20 command button with its name, its caption in navy Kai and its glyph (if any) at
// 16 × 16, its left edge at x and its top at y.
QPushButton* MakeCommandButton(QWidget* parent, const char* name, const char* caption, int x, int y,
                               const QIcon& glyph = QIcon());

// A named menu entry whose caption is shown exactly as written, or a named separator.
QAction* AddMenuItem(QMenu* menu, const char* name, const char* caption);
QAction* AddMenuSeparator(QMenu* menu, const char* name);

// Runs `handler` when a check item is chosen, with the mark still as it was before the click:
// the handlers set and clear the marks themselves, and a checkable action flips its own mark
// before it signals.
void ConnectCheckItem(QAction* item, QObject* context, std::function<void()> handler);

}  // namespace quillet
