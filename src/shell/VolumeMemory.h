// Carries the volume from one run to the next (the file is app/VolumeStore.h's). The last run's
// volume is set at construction; a move of the volume bar by the user is written once the bar
// has rested for a moment, and whatever is still unwritten when the session manager asks the
// program to save its data, when the application is about to quit, or when this object goes.
#pragma once

#include <QObject>
#include <QTimer>
#include <optional>

namespace quillet {

class TfrmMain;

class VolumeMemory : public QObject {
  Q_OBJECT

 public:
  static constexpr int kRestMs = 1000;

  // A child of the main window, so it goes with it.
  explicit VolumeMemory(TfrmMain& main, int restMs = kRestMs);
  ~VolumeMemory() override;
  VolumeMemory(const VolumeMemory&) = delete;
  VolumeMemory& operator=(const VolumeMemory&) = delete;

  // Writes a change not yet written. Failures go to the error output; the program goes on.
  void Flush();

 private:
  void UserChanged();

  TfrmMain& main_;
  QTimer rest_;
  std::optional<int> unwritten_;
};

}  // namespace quillet
