#include "shell/TfrmOptions.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>

#include "shell/Look.h"
#include "shell/TfcGroupBox.h"

namespace quillet {

namespace {

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* caption, int x, int y, int w) {
  auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
  box->setObjectName(QLatin1String(name));
  box->setGeometry(x, y, w, 18);
  return box;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, int x, int y, int w) {
  auto* label = new QLabel(QString::fromUtf8(caption), parent);
  label->setObjectName(QLatin1String(name));
  label->setGeometry(x, y, w, 18);
  return label;
}

// A "#rrggbb" field with a button beside it that opens a colour dialog.
QLineEdit* MakeColourField(QWidget* parent, const char* name, int y, QPushButton** button,
                           const char* buttonName) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QLatin1String(name));
  field->setGeometry(110, y, 80, 22);
  field->setPlaceholderText(QString::fromUtf8("默认"));
  field->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("#[0-9A-Fa-f]{0,6}")), field));
  *button = new QPushButton(QStringLiteral("…"), parent);
  (*button)->setObjectName(QLatin1String(buttonName));
  (*button)->setGeometry(196, y, 24, 22);
  (*button)->setAutoDefault(false);
  return field;
}

// The field's colour as kept: "#rrggbb" in lower case, or empty for anything short of one.
std::string ColourOf(const QLineEdit* field) {
  const QString text = field->text().trimmed();
  return text.size() == 7 ? text.toLower().toStdString() : std::string();
}

}  // namespace

TfrmOptions::TfrmOptions(PlayerShared& state, Dialogs& dialogs, QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      State(state),
      Dlg(dialogs) {
  setObjectName(QStringLiteral("frmOptions"));
  setWindowTitle(QString::fromUtf8("选项"));
  setFont(KaiFont(12));
  setFixedSize(kClientWidth, kClientHeight);
  setSizeGripEnabled(false);

  GBLyrics = new TGroupBox(QString::fromUtf8("歌词"), this);
  GBLyrics->setObjectName(QStringLiteral("GBLyrics"));
  GBLyrics->setGeometry(0, 0, kClientWidth, 88);
  CBExactLyrics = MakeCheck(GBLyrics, "CBExactLyrics", "精确歌词", 12, 20, 130);
  CBShowTranslation = MakeCheck(GBLyrics, "CBShowTranslation", "显示翻译", 150, 20, 130);
  LBLyricDelay = new QLabel(QString::fromUtf8("输出延迟（毫秒）："), GBLyrics);
  LBLyricDelay->setObjectName(QStringLiteral("LBLyricDelay"));
  LBLyricDelay->setGeometry(12, 50, 130, 18);
  SELyricDelay = new QSpinBox(GBLyrics);
  SELyricDelay->setObjectName(QStringLiteral("SELyricDelay"));
  SELyricDelay->setGeometry(150, 48, 90, 22);
  SELyricDelay->setRange(kMinLyricDelayMs, kMaxLyricDelayMs);
  SELyricDelay->setSingleStep(10);
  SELyricDelay->setToolTip(
      QString::fromUtf8("声音比播放位置晚到的时间，例如蓝牙耳机约 150 至 250 毫秒"));
  LBLyricDelay->setBuddy(SELyricDelay);

  GBFiles = new TGroupBox(QString::fromUtf8("标签与文件"), this);
  GBFiles->setObjectName(QStringLiteral("GBFiles"));
  GBFiles->setGeometry(0, 88, kClientWidth, 104);
  CBFullTags = MakeCheck(GBFiles, "CBFullTags", "读取完整标签", 12, 20, 130);
  CBEmbeddedLyrics = MakeCheck(GBFiles, "CBEmbeddedLyrics", "读取内嵌歌词", 150, 20, 140);
  LBTagEncoding = new QLabel(QString::fromUtf8("标签编码："), GBFiles);
  LBTagEncoding->setObjectName(QStringLiteral("LBTagEncoding"));
  LBTagEncoding->setGeometry(12, 50, 80, 18);
  CMBTagEncoding = new QComboBox(GBFiles);
  CMBTagEncoding->setObjectName(QStringLiteral("CMBTagEncoding"));
  CMBTagEncoding->setGeometry(150, 48, 110, 22);
  for (TagEncoding e :
       {TagEncoding::Auto, TagEncoding::Gb18030, TagEncoding::Big5, TagEncoding::Latin1}) {
    CMBTagEncoding->addItem(QString::fromUtf8(TagEncodingCaption(e)), static_cast<int>(e));
  }
  LBTagEncoding->setBuddy(CMBTagEncoding);
  CBAddFolders = MakeCheck(GBFiles, "CBAddFolders", "拖入文件夹时添加其中的歌曲", 12, 78, 270);

  GBDesktopLyrics = new TGroupBox(QString::fromUtf8("桌面歌词"), this);
  GBDesktopLyrics->setObjectName(QStringLiteral("GBDesktopLyrics"));
  GBDesktopLyrics->setGeometry(0, 192, kClientWidth, 104);
  LBDesktopFontSize = MakeLabel(GBDesktopLyrics, "LBDesktopFontSize", "字号（像素）：", 12, 20, 96);
  SEDesktopFontSize = new QSpinBox(GBDesktopLyrics);
  SEDesktopFontSize->setObjectName(QStringLiteral("SEDesktopFontSize"));
  SEDesktopFontSize->setGeometry(110, 18, 80, 22);
  SEDesktopFontSize->setRange(0, 200);
  SEDesktopFontSize->setSpecialValueText(QString::fromUtf8("默认"));
  LBDesktopFontSize->setBuddy(SEDesktopFontSize);
  LBDesktopTextColour = MakeLabel(GBDesktopLyrics, "LBDesktopTextColour", "文字颜色：", 12, 48, 96);
  EDDesktopTextColour = MakeColourField(GBDesktopLyrics, "EDDesktopTextColour", 46,
                                        &btnDesktopTextColour, "btnDesktopTextColour");
  LBDesktopTextColour->setBuddy(EDDesktopTextColour);
  LBDesktopHighlightColour =
      MakeLabel(GBDesktopLyrics, "LBDesktopHighlightColour", "高亮颜色：", 12, 76, 96);
  EDDesktopHighlightColour =
      MakeColourField(GBDesktopLyrics, "EDDesktopHighlightColour", 74, &btnDesktopHighlightColour,
                      "btnDesktopHighlightColour");
  LBDesktopHighlightColour->setBuddy(EDDesktopHighlightColour);

  btnOptionsOk = new QPushButton(QString::fromUtf8("确定"), this);
  btnOptionsOk->setObjectName(QStringLiteral("btnOptionsOk"));
  btnOptionsOk->setGeometry(70, 301, 75, 20);
  btnOptionsOk->setAutoDefault(true);
  btnOptionsOk->setDefault(true);
  btnOptionsCancel = new QPushButton(QString::fromUtf8("取消"), this);
  btnOptionsCancel->setObjectName(QStringLiteral("btnOptionsCancel"));
  btnOptionsCancel->setGeometry(155, 301, 75, 20);
  btnOptionsCancel->setAutoDefault(true);

  setTabOrder(CBExactLyrics, CBShowTranslation);
  setTabOrder(CBShowTranslation, SELyricDelay);
  setTabOrder(SELyricDelay, CBFullTags);
  setTabOrder(CBFullTags, CBEmbeddedLyrics);
  setTabOrder(CBEmbeddedLyrics, CMBTagEncoding);
  setTabOrder(CMBTagEncoding, CBAddFolders);
  setTabOrder(CBAddFolders, SEDesktopFontSize);
  setTabOrder(SEDesktopFontSize, EDDesktopTextColour);
  setTabOrder(EDDesktopTextColour, btnDesktopTextColour);
  setTabOrder(btnDesktopTextColour, EDDesktopHighlightColour);
  setTabOrder(EDDesktopHighlightColour, btnDesktopHighlightColour);
  setTabOrder(btnDesktopHighlightColour, btnOptionsOk);
  setTabOrder(btnOptionsOk, btnOptionsCancel);

  connect(CBExactLyrics, &QCheckBox::toggled, this, [this] { CBExactLyricsClick(); });
  connect(btnDesktopTextColour, &QPushButton::clicked, this,
          [this] { ChooseColour(EDDesktopTextColour); });
  connect(btnDesktopHighlightColour, &QPushButton::clicked, this,
          [this] { ChooseColour(EDDesktopHighlightColour); });
  connect(btnOptionsOk, &QPushButton::clicked, this, [this] { btnOptionsOkClick(); });
  connect(btnOptionsCancel, &QPushButton::clicked, this, [this] { btnOptionsCancelClick(); });
  ShowOptions(shown_);
}

void TfrmOptions::ShowOptions(const Options& o) {
  shown_ = o;
  CBExactLyrics->setChecked(o.exactLyrics);
  CBShowTranslation->setChecked(o.showTranslation);
  SELyricDelay->setValue(o.lyricDelayMs);
  CBFullTags->setChecked(o.fullTags);
  CBEmbeddedLyrics->setChecked(o.embeddedLyrics);
  CMBTagEncoding->setCurrentIndex(CMBTagEncoding->findData(static_cast<int>(o.tagEncoding)));
  CBAddFolders->setChecked(o.addFoldersOnDrop);
  SEDesktopFontSize->setValue(o.desktopFontSize);
  EDDesktopTextColour->setText(QString::fromStdString(o.desktopTextColour));
  EDDesktopHighlightColour->setText(QString::fromStdString(o.desktopHighlightColour));
  CBExactLyricsClick();
}

void TfrmOptions::CBExactLyricsClick() {
  CBShowTranslation->setEnabled(CBExactLyrics->isChecked());
}

Options TfrmOptions::Chosen() const {
  Options o = shown_;
  o.exactLyrics = CBExactLyrics->isChecked();
  // Kept as ticked even while exact timing is off, so switching that back brings it back.
  o.showTranslation = CBShowTranslation->isChecked();
  o.lyricDelayMs = SELyricDelay->value();
  o.fullTags = CBFullTags->isChecked();
  o.embeddedLyrics = CBEmbeddedLyrics->isChecked();
  o.tagEncoding = static_cast<TagEncoding>(CMBTagEncoding->currentData().toInt());
  o.addFoldersOnDrop = CBAddFolders->isChecked();
  o.desktopFontSize = SEDesktopFontSize->value();
  o.desktopTextColour = ColourOf(EDDesktopTextColour);
  o.desktopHighlightColour = ColourOf(EDDesktopHighlightColour);
  return o;
}

void TfrmOptions::ChooseColour(QLineEdit* field) {
  const QColor now(field->text());
  auto* dialog = new QColorDialog(now.isValid() ? now : QColor(Qt::white), this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QColorDialog::colorSelected, field,
          [field](const QColor& colour) { field->setText(colour.name()); });
  dialog->open();
}

void TfrmOptions::ShowModal(const Options& current) {
  ShowOptions(current);
  setWindowModality(Qt::WindowModal);
  show();
  raise();
  activateWindow();
  CBExactLyrics->setFocus();
}

void TfrmOptions::btnOptionsOkClick() {
  Options chosen = Chosen();
  const Options& now = State.options;
  chosen.desktopLyrics = now.desktopLyrics;
  chosen.desktopLyricsLocked = now.desktopLyricsLocked;
  chosen.desktopBarPlaced = now.desktopBarPlaced;
  chosen.desktopBarX = now.desktopBarX;
  chosen.desktopBarY = now.desktopBarY;
  chosen.desktopBarWidth = now.desktopBarWidth;
  chosen.desktopBarHeight = now.desktopBarHeight;
  const IoResult io = SaveOptions(chosen);
  if (!io.ok) {
    ShowErrorBox(Dlg, this, State.VersionText, io.error);
    return;
  }
  shown_ = chosen;
  if (Accepted) Accepted(chosen);
  close();
}

void TfrmOptions::btnOptionsCancelClick() { close(); }

}  // namespace quillet
