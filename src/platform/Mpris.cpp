#include "platform/Mpris.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <functional>

#include "common/DisplayText.h"

namespace quillet {

namespace {

constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";

QString StatusText(MediaControls::Status s) {
  switch (s) {
    case MediaControls::Status::Playing:
      return QStringLiteral("Playing");
    case MediaControls::Status::Paused:
      return QStringLiteral("Paused");
    case MediaControls::Status::Stopped:
      break;
  }
  return QStringLiteral("Stopped");
}

QString LoopText(MediaControls::Loop l) {
  switch (l) {
    case MediaControls::Loop::Track:
      return QStringLiteral("Track");
    case MediaControls::Loop::Playlist:
      return QStringLiteral("Playlist");
    case MediaControls::Loop::None:
      break;
  }
  return QStringLiteral("None");
}

QVariantMap MetadataMap(const MediaControls::Track& t) {
  QVariantMap m;
  if (t.id.isEmpty()) return m;
  m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(t.id)));
  if (t.lengthUs >= 0) m.insert(QStringLiteral("mpris:length"), qlonglong{t.lengthUs});
  if (!t.url.isEmpty()) m.insert(QStringLiteral("xesam:url"), t.url);
  m.insert(QStringLiteral("xesam:title"), t.title);
  if (!t.artist.isEmpty()) m.insert(QStringLiteral("xesam:artist"), QStringList{t.artist});
  if (!t.album.isEmpty()) m.insert(QStringLiteral("xesam:album"), t.album);
  if (!t.albumArtist.isEmpty()) {
    m.insert(QStringLiteral("xesam:albumArtist"), QStringList{t.albumArtist});
  }
  if (t.trackNumber > 0) m.insert(QStringLiteral("xesam:trackNumber"), t.trackNumber);
  if (!t.artUrl.isEmpty()) m.insert(QStringLiteral("mpris:artUrl"), t.artUrl);
  if (!t.lyricText.isEmpty()) m.insert(QStringLiteral("xesam:asText"), t.lyricText);
  if (!t.currentLine.isEmpty()) m.insert(QStringLiteral("quillet:currentLine"), t.currentLine);
  return m;
}

}  // namespace

// The object at kObjectPath, parent of the two adaptors. A call to an adaptor finds its bus
// context (to answer with an error) here.
class MprisObject : public QObject, public QDBusContext {
  Q_OBJECT
};

class MprisService::Impl {
 public:
  Impl(MediaControls& player, QString desktopEntry)
      : player(player), desktopEntry(std::move(desktopEntry)), bus(QDBusConnection::sessionBus()) {}

  // A command from the bus runs from the event loop once its reply has gone, so that a message
  // box it opens never holds the caller.
  void Later(std::function<void()> command) { QTimer::singleShot(0, &object, std::move(command)); }

  MediaControls& player;
  const QString desktopEntry;
  QDBusConnection bus;
  MprisObject object;
  QString busName;
  MediaControls::Now announced;
  bool sendFailed = false;
};

// org.mpris.MediaPlayer2: the application.
class MprisRootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

 public:
  explicit MprisRootAdaptor(MprisService::Impl& s) : QDBusAbstractAdaptor(&s.object), s_(s) {}

  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return QStringLiteral("Quillet"); }
  QString DesktopEntry() const { return s_.desktopEntry; }
  QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
  QStringList SupportedMimeTypes() const {
    return {QStringLiteral("audio/mpeg"), QStringLiteral("audio/x-wav"),
            QStringLiteral("audio/wav")};
  }

 public slots:
  void Raise() {
    s_.Later([p = &s_.player] { p->Raise(); });
  }
  void Quit() {
    s_.Later([p = &s_.player] { p->Quit(); });
  }

 private:
  MprisService::Impl& s_;
};

// org.mpris.MediaPlayer2.Player: playback.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE setLoopStatus)
  Q_PROPERTY(double Rate READ Rate WRITE setRate)
  Q_PROPERTY(bool Shuffle READ Shuffle)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume WRITE setVolume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(double MinimumRate READ MinimumRate)
  Q_PROPERTY(double MaximumRate READ MaximumRate)
  Q_PROPERTY(bool CanGoNext READ CanGoNext)
  Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
  Q_PROPERTY(bool CanPlay READ CanPlay)
  Q_PROPERTY(bool CanPause READ CanPause)
  Q_PROPERTY(bool CanSeek READ CanSeek)
  Q_PROPERTY(bool CanControl READ CanControl)

 public:
  explicit MprisPlayerAdaptor(MprisService::Impl& s)
      : QDBusAbstractAdaptor(&s.object), s_(s), p_(s.player) {
    setAutoRelaySignals(true);
  }

  QString PlaybackStatus() const { return StatusText(p_.Current().status); }
  QString LoopStatus() const { return LoopText(p_.Current().loop); }
  void setLoopStatus(const QString& text) {
    if (text == QLatin1String("None")) p_.SetLoop(MediaControls::Loop::None);
    if (text == QLatin1String("Track")) p_.SetLoop(MediaControls::Loop::Track);
    if (text == QLatin1String("Playlist")) p_.SetLoop(MediaControls::Loop::Playlist);
  }
  // One rate only: 1.0.
  double Rate() const { return 1.0; }
  void setRate(double) {}
  bool Shuffle() const { return false; }
  QVariantMap Metadata() const { return MetadataMap(p_.Current().track); }
  double Volume() const { return p_.Current().volume; }
  void setVolume(double volume) {
    if (std::isnan(volume)) return;
    p_.SetVolume(std::clamp(volume, 0.0, 1.0));
  }
  qlonglong Position() const { return p_.PositionUs(); }
  double MinimumRate() const { return 1.0; }
  double MaximumRate() const { return 1.0; }
  bool CanGoNext() const { return p_.Current().canGoNext; }
  bool CanGoPrevious() const { return p_.Current().canGoPrevious; }
  bool CanPlay() const { return p_.Current().canPlay; }
  bool CanPause() const { return p_.Current().canPause; }
  bool CanSeek() const { return p_.Current().canSeek; }
  bool CanControl() const { return true; }

 public slots:
  void Next() {
    s_.Later([p = &p_] { p->Next(); });
  }
  void Previous() {
    s_.Later([p = &p_] { p->Previous(); });
  }
  void Pause() {
    s_.Later([p = &p_] { p->Pause(); });
  }
  void PlayPause() {
    s_.Later([p = &p_] {
      if (p->Current().status == MediaControls::Status::Playing) {
        p->Pause();
      } else {
        p->Play();
      }
    });
  }
  void Stop() {
    s_.Later([p = &p_] { p->Stop(); });
  }
  void Play() {
    s_.Later([p = &p_] { p->Play(); });
  }
  // Relative to the position at the time the command runs; before the start is the start, past
  // the end is the end.
  void Seek(qlonglong offset) {
    s_.Later([this, offset] {
      const MediaControls::Now now = p_.Current();
      if (!now.canSeek) return;
      qlonglong target = p_.PositionUs();
      target = offset > 0 && target > LLONG_MAX - offset ? LLONG_MAX : target + offset;
      target = std::max<qlonglong>(target, 0);
      if (now.track.lengthUs >= 0) target = std::min<qlonglong>(target, now.track.lengthUs);
      SeekAndTell(target);
    });
  }
  // Only for the current track and a position within it.
  void SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
    s_.Later([this, id = trackId.path(), position] {
      const MediaControls::Now now = p_.Current();
      if (!now.canSeek || now.track.id.isEmpty() || id != now.track.id || position < 0) return;
      if (now.track.lengthUs >= 0 && position > now.track.lengthUs) return;
      SeekAndTell(position);
    });
  }
  void OpenUri(const QString& uri) {
    const QUrl url(uri);
    if (!url.isLocalFile()) {
      s_.object.sendErrorReply(
          QDBusError::NotSupported,
          QStringLiteral("Only local files (file:) can be opened: %1").arg(uri));
      return;
    }
    s_.Later([p = &p_, path = LocalBytes(url.toLocalFile())] { p->OpenFile(path); });
  }

 signals:
  void Seeked(qlonglong Position);

 private:
  void SeekAndTell(qlonglong us) {
    p_.SeekTo(us);
    emit Seeked(p_.PositionUs());
  }

  MprisService::Impl& s_;
  MediaControls& p_;
};

MprisService::MprisService(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

MprisService::~MprisService() {
  impl_->bus.unregisterService(impl_->busName);
  impl_->bus.unregisterObject(QString::fromLatin1(kObjectPath));
}

std::unique_ptr<MprisService> MprisService::Start(MediaControls& player,
                                                  const QString& desktopEntry) {
  auto impl = std::make_unique<Impl>(player, desktopEntry);
  // No session bus: the program runs without media controls, as on a desktop that has none.
  if (!impl->bus.isConnected()) return nullptr;
  auto refuse = [](const QString& why) {
    std::fprintf(stderr, "quillet: media controls not offered on the session bus: %s\n",
                 qUtf8Printable(why));
    return nullptr;
  };
  new MprisRootAdaptor(*impl);
  new MprisPlayerAdaptor(*impl);
  if (!impl->bus.registerObject(QString::fromLatin1(kObjectPath), &impl->object,
                                QDBusConnection::ExportAdaptors)) {
    return refuse(impl->bus.lastError().message());
  }
  QDBusConnectionInterface* names = impl->bus.interface();
  const QString instance = QStringLiteral("%1.instance%2")
                               .arg(QLatin1String(kBusName))
                               .arg(QCoreApplication::applicationPid());
  for (const QString& name : {QString::fromLatin1(kBusName), instance}) {
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> r =
        names->registerService(name, QDBusConnectionInterface::DontQueueService,
                               QDBusConnectionInterface::DontAllowReplacement);
    if (!r.isValid()) {
      impl->bus.unregisterObject(QString::fromLatin1(kObjectPath));
      return refuse(r.error().message());
    }
    if (r.value() == QDBusConnectionInterface::ServiceRegistered) {
      impl->busName = name;
      break;
    }
  }
  if (impl->busName.isEmpty()) {
    impl->bus.unregisterObject(QString::fromLatin1(kObjectPath));
    return refuse(
        QStringLiteral("both %1 and %2 are taken").arg(QLatin1String(kBusName), instance));
  }
  impl->announced = player.Current();
  return std::unique_ptr<MprisService>(new MprisService(std::move(impl)));
}

const QString& MprisService::BusName() const { return impl_->busName; }

void MprisService::Announce() {
  const MediaControls::Now now = impl_->player.Current();
  MediaControls::Now& was = impl_->announced;
  if (now == was) return;
  QVariantMap changed;
  auto note = [&changed](const char* name, bool differs, const QVariant& value) {
    if (differs) changed.insert(QLatin1String(name), value);
  };
  note("PlaybackStatus", now.status != was.status, StatusText(now.status));
  note("LoopStatus", now.loop != was.loop, LoopText(now.loop));
  note("Volume", now.volume != was.volume, now.volume);
  note("Metadata", now.track != was.track, MetadataMap(now.track));
  note("CanPlay", now.canPlay != was.canPlay, now.canPlay);
  note("CanPause", now.canPause != was.canPause, now.canPause);
  note("CanGoNext", now.canGoNext != was.canGoNext, now.canGoNext);
  note("CanGoPrevious", now.canGoPrevious != was.canGoPrevious, now.canGoPrevious);
  note("CanSeek", now.canSeek != was.canSeek, now.canSeek);
  was = now;
  QDBusMessage signal = QDBusMessage::createSignal(
      QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("PropertiesChanged"));
  signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
  // Said once: a bus that went away would otherwise be reported at every tick.
  if (!impl_->bus.send(signal) && !impl_->sendFailed) {
    impl_->sendFailed = true;
    std::fprintf(stderr, "quillet: the media controls could not announce a change: %s\n",
                 qUtf8Printable(impl_->bus.lastError().message()));
  }
}

}  // namespace quillet

#include "Mpris.moc"
