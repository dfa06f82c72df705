#include "shell/VolumeMemory.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstdio>

#include "common/VolumeStore.h"
#include "player/PlaybackRules.h"
#include "shell/TfrmMain.h"

namespace quillet {

namespace {

void Report(const IoResult& io) {
  if (!io.ok) std::fprintf(stderr, "quillet: %s\n", io.error.c_str());
}

}  // namespace

VolumeMemory::VolumeMemory(TfrmMain& main, int restMs) : QObject(&main), main_(main) {
  setObjectName(QStringLiteral("VolumeMemory"));
  int position = kMaxVolume;
  bool found = false;
  const IoResult io = ReadVolume(&position, &found);
  Report(io);
  if (found) {
    main_.Session.SetVolumeFromBar(position);
    main_.tbSetVolume->SetPosition(position);
  }
  rest_.setSingleShot(true);
  rest_.setInterval(restMs);
  connect(&rest_, &QTimer::timeout, this, [this] { Flush(); });
  // After the main window's own handler, which has set the engine's volume by then.
  connect(main_.tbSetVolume, &TsTrackBar::OnUserChange, this, [this] { UserChanged(); });
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(app, &QGuiApplication::commitDataRequest, this, [this] { Flush(); });
    connect(app, &QCoreApplication::aboutToQuit, this, [this] { Flush(); });
  }
}

VolumeMemory::~VolumeMemory() { Flush(); }

void VolumeMemory::UserChanged() {
  unwritten_ = main_.Session.OutputVolume();
  rest_.start();
}

void VolumeMemory::Flush() {
  rest_.stop();
  if (!unwritten_) return;
  const int position = *unwritten_;
  unwritten_.reset();
  Report(WriteVolume(position));
}

}  // namespace quillet
