#include "platform/Dialogs.h"

#include "platform/QtTranslations.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

#include "common/DisplayText.h"
#include "common/TextRules.h"

namespace quillet {

QStringList QtFilterList(const QString& windowsFilter) {
  QStringList out;
  const QStringList parts = windowsFilter.split(u'|');
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
    for (QString& p : patterns) {
      if (p == QLatin1String("*.*")) p = QStringLiteral("*");
    }
    out << parts[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
  }
  return out;
}

Dialogs::Answer QtDialogs::message(QWidget* owner, const QString& title, const QString& text,
                                   Icon icon, Buttons buttons) {
  EnsureQtTranslations();
  QMessageBox box(owner);
  box.setWindowTitle(title);
  box.setText(text);
  box.setIcon(icon == Icon::Information ? QMessageBox::Information
              : icon == Icon::Question  ? QMessageBox::Question
                                        : QMessageBox::Critical);
  if (buttons == Buttons::OkCancel) {
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

namespace {

Dialogs::FileResult RunFileDialog(QWidget* owner, const Dialogs::FileRequest& request, bool save) {
  QFileDialog dialog(owner, request.title, request.directory);
  const QStringList filters = QtFilterList(request.filter);
  dialog.setNameFilters(filters);
  if (request.filterIndex >= 0 && request.filterIndex < filters.size()) {
    dialog.selectNameFilter(filters[request.filterIndex]);
  }
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The program asks about overwriting itself, with its own wording.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.multiple ? QFileDialog::ExistingFiles : QFileDialog::AnyFile);
  }
  if (!request.defaultSuffix.isEmpty()) dialog.setDefaultSuffix(request.defaultSuffix);
  Dialogs::FileResult result;
  result.filterIndex = request.filterIndex;
  if (dialog.exec() != QDialog::Accepted) return result;
  result.accepted = true;
  result.files = dialog.selectedFiles();
  const int chosen = filters.indexOf(dialog.selectedNameFilter());
  if (chosen >= 0) result.filterIndex = chosen;
  return result;
}

}  // namespace

Dialogs::FileResult QtDialogs::openFiles(QWidget* owner, const FileRequest& request) {
  EnsureQtTranslations();
  return RunFileDialog(owner, request, false);
}

Dialogs::FileResult QtDialogs::saveFile(QWidget* owner, const FileRequest& request) {
  EnsureQtTranslations();
  return RunFileDialog(owner, request, true);
}

QString FolderBrowserStart() {
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  return !desktop.isEmpty() && QFileInfo(desktop).isDir() ? desktop : QDir::homePath();
}

std::optional<QString> QtDialogs::chooseFolder(QWidget* owner, const QString& title) {
  EnsureQtTranslations();
  // Not the working folder, which an empty start would give.
  const QString dir = QFileDialog::getExistingDirectory(
      owner, title, FolderBrowserStart(),
      QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
  if (dir.isEmpty()) return std::nullopt;
  return dir;
}

void ShowErrorBox(Dialogs& dialogs, QWidget* owner, const std::string& versionText,
                  const std::string& failure) {
  dialogs.message(owner, DisplayText(versionText), DisplayText(failure), Dialogs::Icon::Error,
                  Dialogs::Buttons::Ok);
}

void ShowAudioError(Dialogs& dialogs, QWidget* owner, const std::string& message, int code) {
  dialogs.message(owner, QString::fromUtf8(kMessageTitle),
                  QString::fromUtf8(AudioErrorText(message, code)), Dialogs::Icon::Information,
                  Dialogs::Buttons::Ok);
}

void ShowNotice(Dialogs& dialogs, QWidget* owner, const std::string& text) {
  dialogs.message(owner, QString::fromUtf8(kMessageTitle), QString::fromStdString(text),
                  Dialogs::Icon::Information, Dialogs::Buttons::Ok);
}

bool AskOkCancel(Dialogs& dialogs, QWidget* owner, const std::string& text) {
  return dialogs.message(owner, QString::fromUtf8(kMessageTitle), QString::fromStdString(text),
                         Dialogs::Icon::Question,
                         Dialogs::Buttons::OkCancel) == Dialogs::Answer::Ok;
}

}  // namespace quillet
