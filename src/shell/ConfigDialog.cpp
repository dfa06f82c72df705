// The settings dialog's behaviour: loading, browsing, submitting, closing.
#include <QCheckBox>
#include <QLineEdit>

#include "common/DisplayText.h"
#include "playlist/Settings.h"
#include "shell/TfrmConfig.h"

namespace quillet {

namespace {

constexpr const char* kBrowseTitle = "\"Quillet\" 选择目录：    作者：Quillet 开发组";

}  // namespace

void TfrmConfig::FormShow() {
  ConfigRecord rec;
  bool exists = false;
  const IoResult io = ReadConfigFile(&rec, &exists);
  if (!io.ok) {
    // A file that cannot be read as a whole record shows nothing of it.
    shownPathBytes_.clear();
    EditLyricPath->clear();
    CBMp3->setChecked(false);
    CBWave->setChecked(false);
    ShowErrorBox(Dlg, this, State.VersionText, io.error);
    return;
  }
  // Without a file the controls keep what they showed last time.
  if (!exists) return;
  shownPathBytes_ = rec.LyricPath;
  EditLyricPath->setText(DisplayText(rec.LyricPath));
  CBMp3->setChecked(rec.RelateMp3);
  CBWave->setChecked(rec.RelateWave);
}

void TfrmConfig::btnLyricPathClick() {
  const std::optional<QString> folder = Dlg.chooseFolder(this, QString::fromUtf8(kBrowseTitle));
  if (!folder) return;
  std::string bytes = LocalBytes(*folder);
  if (bytes.empty() || bytes.back() != '/') bytes += '/';
  shownPathBytes_ = bytes;
  EditLyricPath->setText(DisplayText(bytes));
}

void TfrmConfig::btnPathOkClick() {
  ConfigRecord rec;
  const QString shown = EditLyricPath->text();
  // Text the user has not changed goes back as the bytes it came from; typed text is encoded.
  rec.LyricPath = shown == DisplayText(shownPathBytes_) ? shownPathBytes_ : LocalBytes(shown);
  rec.RelateMp3 = CBMp3->isChecked();
  rec.RelateWave = CBWave->isChecked();
  const IoResult io = WriteConfigFile(rec);
  if (!io.ok) {
    ShowErrorBox(Dlg, this, State.VersionText, io.error);
    return;
  }
  ShowNotice(Dlg, this, "“设置信息”提交成功！");
  close();
}

void TfrmConfig::btnPathCloseClick() { close(); }

}  // namespace quillet
