#include "shell/TfrmAbout.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "common/DisplayText.h"
#include "shell/Look.h"
#include "shell/TfcGroupBox.h"

namespace quillet {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry,
                  const QColor& colour, bool bold) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QLatin1String(name));
  l->setTextFormat(Qt::PlainText);
  l->setGeometry(geometry);
  l->setFont(KaiFont(12, bold));
  SetTextColour(l, colour);
  return l;
}

}  // namespace

TfrmAbout::TfrmAbout(PlayerShared& state, QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      State(state) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("Quillet"));
  setFont(KaiFont(12));
  setFixedSize(kClientWidth, kClientHeight);
  setSizeGripEnabled(false);

  AboutBox = new TGroupBox(QString::fromUtf8("=·=Quillet=·="), this);
  AboutBox->setObjectName(QStringLiteral("AboutBox"));
  AboutBox->setGeometry(0, 0, kClientWidth, 145);

  VersionLabel = MakeLabel(AboutBox, "VersionLabel", QString::fromUtf8(kVersionText),
                           QRect(100, 17, 112, 12), kRed, true);
  Label2 = MakeLabel(AboutBox, "Label2", QString::fromUtf8("羽笔工作室"), QRect(222, 29, 84, 12),
                     kRed, false);
  // A label breaks lines at line feeds; the caption's carriage returns are shown as such.
  Label3 = MakeLabel(AboutBox, "Label3", QString::fromUtf8(kDescription).replace(u'\r', u'\n'),
                     QRect(29, 52, 264, 36), kPurple, false);
  Label3->setAccessibleName(Label3->text());
  Label6 = MakeLabel(AboutBox, "Label6", QString::fromUtf8("E-Mail："), QRect(28, 99, 55, 12),
                     kPurple, true);
  Label4 = MakeLabel(AboutBox, "Label4", QStringLiteral("team@example.org"), QRect(92, 99, 102, 12),
                     kBlue, false);
  Label7 = MakeLabel(AboutBox, "Label7", QString::fromUtf8("作者网址："), QRect(27, 124, 65, 12),
                     kPurple, true);
  Label5 = MakeLabel(AboutBox, "Label5", QStringLiteral("example.org/quillet"),
                     QRect(92, 124, 138, 12), kBlue, false);
  Image1 = new QLabel(AboutBox);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(8, 14, 32, 32);

  btnOk = new QPushButton(QString::fromUtf8("确定"), this);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnOk->setGeometry(121, 148, 81, 20);
  btnOk->setFont(KaiFont(12, true));
  // Enter on the focused button presses it; it is neither the default nor the cancel button.
  btnOk->setAutoDefault(true);
  btnOk->setDefault(false);
  setTabOrder(btnOk, AboutBox);
  connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });

  FormCreate();
}

void TfrmAbout::FormCreate() { VersionLabel->setText(DisplayText(State.VersionText)); }

void TfrmAbout::btnOkClick() { close(); }

void TfrmAbout::ShowModal() {
  setWindowModality(Qt::WindowModal);
  show();
  raise();
  activateWindow();
  btnOk->setFocus();
}

void TfrmAbout::keyPressEvent(QKeyEvent* event) {
  // Escape does not close the box.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TfrmAbout::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Centred over the main window the first time only; afterwards it opens where it was left.
  setAttribute(Qt::WA_Moved, true);
}

}  // namespace quillet
