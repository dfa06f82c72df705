#include "shell/TfrmConfig.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/DisplayText.h"
#include "shell/Look.h"
#include "shell/TfcGroupBox.h"

namespace quillet {

TfrmConfig::TfrmConfig(PlayerShared& state, Dialogs& dialogs, QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      State(state),
      Dlg(dialogs) {
  setObjectName(QStringLiteral("frmConfig"));
  setFont(KaiFont(12));
  setFixedSize(kClientWidth, kClientHeight);
  setSizeGripEnabled(false);

  GBPath = new TGroupBox(QString::fromUtf8("路径设置"), this);
  GBPath->setObjectName(QStringLiteral("GBPath"));
  GBPath->setGeometry(0, 0, kClientWidth, 55);
  LBLyricPath = new QLabel(QString::fromUtf8("歌词目录："), GBPath);
  LBLyricPath->setObjectName(QStringLiteral("LBLyricPath"));
  LBLyricPath->setGeometry(12, 24, 62, 14);
  EditLyricPath = new QLineEdit(GBPath);
  EditLyricPath->setObjectName(QStringLiteral("EditLyricPath"));
  EditLyricPath->setGeometry(76, 21, 224, 20);
  LBLyricPath->setBuddy(EditLyricPath);
  btnLyricPath = new QPushButton(QString::fromUtf8("浏览..."), GBPath);
  btnLyricPath->setObjectName(QStringLiteral("btnLyricPath"));
  btnLyricPath->setGeometry(306, 21, 66, 20);
  btnLyricPath->setAutoDefault(true);

  GBRelate = new TGroupBox(QString::fromUtf8("关联文件"), this);
  GBRelate->setObjectName(QStringLiteral("GBRelate"));
  GBRelate->setGeometry(0, 55, kClientWidth, 48);
  CBMp3 = new QCheckBox(QString::fromUtf8("MP3音频文件（*.mp3）"), GBRelate);
  CBMp3->setObjectName(QStringLiteral("CBMp3"));
  CBMp3->setGeometry(12, 21, 170, 18);
  CBMp3->setEnabled(false);
  CBWave = new QCheckBox(QString::fromUtf8("WAVE音频文件（*.wav）"), GBRelate);
  CBWave->setObjectName(QStringLiteral("CBWave"));
  CBWave->setGeometry(194, 21, 178, 18);
  CBWave->setEnabled(false);

  btnPathOk = new QPushButton(QString::fromUtf8("提交"), this);
  btnPathOk->setObjectName(QStringLiteral("btnPathOk"));
  btnPathOk->setGeometry(112, 104, 75, 20);
  btnPathOk->setAutoDefault(true);
  btnPathOk->setDefault(true);
  btnPathClose = new QPushButton(QString::fromUtf8("关闭"), this);
  btnPathClose->setObjectName(QStringLiteral("btnPathClose"));
  btnPathClose->setGeometry(196, 104, 75, 20);
  btnPathClose->setAutoDefault(true);

  setTabOrder(EditLyricPath, btnLyricPath);
  setTabOrder(btnLyricPath, btnPathOk);
  setTabOrder(btnPathOk, btnPathClose);

  connect(btnLyricPath, &QPushButton::clicked, this, [this] { btnLyricPathClick(); });
  connect(btnPathOk, &QPushButton::clicked, this, [this] { btnPathOkClick(); });
  connect(btnPathClose, &QPushButton::clicked, this, [this] { btnPathCloseClick(); });

  FormCreate();
}

void TfrmConfig::FormCreate() { setWindowTitle(DisplayText(State.VersionText)); }

void TfrmConfig::ShowModal() {
  setWindowModality(Qt::WindowModal);
  show();
  raise();
  activateWindow();
}

void TfrmConfig::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

}  // namespace quillet
