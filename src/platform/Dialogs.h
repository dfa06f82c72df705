// Every message box and file dialog of the program goes through this interface, so tests can
// answer them without ever blocking on a modal window.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

class QWidget;

namespace quillet {

class Dialogs {
 public:
  enum class Icon { Information, Question, Error };
  enum class Buttons { Ok, OkCancel };
  enum class Answer { Ok, Cancel };

  struct FileRequest {
    QString title;
    QString filter;       // Windows form: "Name|*.a;*.b|Other|*.*"
    int filterIndex = 0;  // zero-based entry preselected
    QString directory;    // empty: the platform's default
    QString defaultSuffix;
    bool multiple = false;
  };
  struct FileResult {
    bool accepted = false;
    QStringList files;    // full paths, in the order the dialog returned them
    int filterIndex = 0;  // the entry chosen at this use
  };

  virtual ~Dialogs() = default;

  virtual Answer message(QWidget* owner, const QString& title, const QString& text, Icon icon,
                         Buttons buttons) = 0;
  virtual FileResult openFiles(QWidget* owner, const FileRequest& request) = 0;
  virtual FileResult saveFile(QWidget* owner, const FileRequest& request) = 0;
  // A folder of the file system, or nothing when the user cancels.
  virtual std::optional<QString> chooseFolder(QWidget* owner, const QString& title) = 0;
};

// Where the folder browser opens, with no folder chosen: the user's desktop folder, or the home
// folder when there is no desktop folder.
QString FolderBrowserStart();

// Turns "Name|*.a;*.b|Other|*.*" into Qt's "Name (*.a *.b);;Other (*)" list, entry by entry.
QStringList QtFilterList(const QString& windowsFilter);

// The real dialogs: QMessageBox, QFileDialog.
class QtDialogs : public Dialogs {
 public:
  Answer message(QWidget* owner, const QString& title, const QString& text, Icon icon,
                 Buttons buttons) override;
  FileResult openFiles(QWidget* owner, const FileRequest& request) override;
  FileResult saveFile(QWidget* owner, const FileRequest& request) override;
  std::optional<QString> chooseFolder(QWidget* owner, const QString& title) override;
};

// Title of the program's notices and questions.
inline constexpr const char* kMessageTitle = "Quillet";

// The general error box for a failed input or output step: the failure's text (bytes, decoded
// for display), titled with the version text, error icon, OK.
void ShowErrorBox(Dialogs& dialogs, QWidget* owner, const std::string& versionText,
                  const std::string& failure);

// The audio error box: the message (UTF-8), a line break and the engine's error code,
// titled "Quillet", information icon, OK.
void ShowAudioError(Dialogs& dialogs, QWidget* owner, const std::string& message, int code);

// A notice titled "Quillet" with the information icon and OK; the text is UTF-8.
void ShowNotice(Dialogs& dialogs, QWidget* owner, const std::string& text);
// A question titled "Quillet" with the question icon, OK and Cancel; true only for OK.
bool AskOkCancel(Dialogs& dialogs, QWidget* owner, const std::string& text);

}  // namespace quillet
