// Carries the volume from one run to the next (the file is common/VolumeStore.h's). The last
// run's volume is set at construction; a volume the user sets (with the volume bar or through the
// media controls) is written once it has rested for a moment, and whatever is still unwritten
// when the session manager asks the program to save its data, when the application is about to
// quit, or when this object goes.
#pragma once

#include <QObject>
#include <QTimer>
#include <optional>

namespace quillet {

class PlaySession;

class VolumeMemory : public QObject {
  Q_OBJECT

 public:
  static constexpr int kRestMs = 1000;

  VolumeMemory(PlaySession& player, QObject* parent, int restMs = kRestMs);
  ~VolumeMemory() override;
  VolumeMemory(const VolumeMemory&) = delete;
  VolumeMemory& operator=(const VolumeMemory&) = delete;

  // Writes a change not yet written. Failures go to the error output; the program goes on.
  void Flush();

 private:
  void UserChanged();

  PlaySession& player_;
  QTimer rest_;
  std::optional<int> unwritten_;
  int listening_ = 0;
  bool restoring_ = false;
};

}  // namespace quillet
