#include "shell/VolumeMemory.h"

#include <QGuiApplication>
#include <cstdio>

#include "common/VolumeStore.h"
#include "player/PlaySession.h"

namespace quillet {

namespace {

void Report(const IoResult& io) {
  if (!io.ok) std::fprintf(stderr, "quillet: %s\n", io.error.c_str());
}

}  // namespace

VolumeMemory::VolumeMemory(PlaySession& player, QObject* parent, int restMs)
    : QObject(parent), player_(player) {
  setObjectName(QStringLiteral("VolumeMemory"));
  int position = kMaxVolume;
  bool found = false;
  const IoResult io = ReadVolume(&position, &found);
  Report(io);
  if (found) {
    restoring_ = true;
    player_.SetVolume(position);
    restoring_ = false;
  }
  rest_.setSingleShot(true);
  rest_.setInterval(restMs);
  connect(&rest_, &QTimer::timeout, this, [this] { Flush(); });
  listening_ = player_.Subscribe([this](unsigned changes) {
    if ((changes & kChangedVolume) && !restoring_) UserChanged();
  });
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(app, &QGuiApplication::commitDataRequest, this, [this] { Flush(); });
    connect(app, &QCoreApplication::aboutToQuit, this, [this] { Flush(); });
  }
}

VolumeMemory::~VolumeMemory() {
  player_.Unsubscribe(listening_);
  Flush();
}

void VolumeMemory::UserChanged() {
  unwritten_ = player_.OutputVolume();
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
