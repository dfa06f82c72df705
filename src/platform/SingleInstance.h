// One Quillet per desktop session, over the session bus. The first start owns the bus name that
// is the application id and answers the org.freedesktop.Application interface at the object
// path made from it; a later start hands its files (or, without files, a request to come to the
// front) to that one and ends. Without a session bus every start runs on its own.
//
// A start lock settles the common case without the bus: a file lock named after the session
// bus's address, held by the Quillet that owns (or is about to own) the name. A start that gets
// the lock is the only one, and may claim the name once its window is up; a start that finds it
// held waits for the name to be owned and hands its files over.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  enum class Role {
    Alone,   // no session bus (or it refused us): run on our own
    First,   // this process owns the name and takes the files of later starts
    Second,  // another Quillet owns it: hand the files over
  };
  using Receiver = std::function<void(const std::vector<std::string>& files)>;

  // How long a later start waits for the running one to answer.
  static constexpr int kHandOffTimeoutMs = 3000;

  enum class StartLock {
    Ours,         // no other Quillet of this session holds it; held until this object goes
    Busy,         // another Quillet holds it: it runs, or is starting
    Unavailable,  // no lock to be had (the temporary folder refuses it): ask the bus at once
  };

  explicit SingleInstance(const QDBusConnection& bus, QObject* parent = nullptr);
  // The bus is connected when first needed.
  explicit SingleInstance(std::function<QDBusConnection()> connect, QObject* parent = nullptr);
  ~SingleInstance() override;

  // Takes this session's start lock unless another Quillet holds it. No bus is needed.
  StartLock TakeStartLock();
  // A later start: waits until a Quillet owns the name, at most `timeoutMs`; false when none does
  // by then (or there is no bus).
  bool WaitForRunning(int timeoutMs);
  // Takes the start lock when it can, exports the object, then asks for the name. Problems other
  // than a missing bus are written to the error output; the start then runs on its own.
  Role Claim();
  bool Claimed() const { return claimed_; }
  // Second: asks the running Quillet to open the files (absolute byte paths), or to come to the
  // front when there are none. False, with the bus's reason, when it did not answer.
  bool HandOff(const std::vector<std::string>& files, std::string* error);
  // First: what to do with the files a later start hands over (none: come to the front). Each
  // request runs from the event loop after the answer has gone back; requests that came before
  // the receiver was set run once it is.
  void SetReceiver(Receiver receiver);

  static QString ObjectPath();
  static QString FileUri(const std::string& path);
  // The local path a file URI names, as bytes; false for other URIs.
  static bool LocalPath(const QString& uri, std::string* path);

 private:
  friend class ApplicationInterface;
  void Received(std::vector<std::string> files);
  void DeliverPending();
  QDBusConnection& Bus();

  std::function<QDBusConnection()> connect_;
  std::optional<QDBusConnection> bus_;
  int lockFd_ = -1;
  bool claimed_ = false;
  QObject* exported_ = nullptr;
  bool objectRegistered_ = false;
  Receiver receiver_;
  std::vector<std::vector<std::string>> pending_;
  bool delivering_ = false;
};

// The exported object. Public only because the bus's method lookup needs its meta-object.
class ApplicationInterface : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

 public:
  explicit ApplicationInterface(SingleInstance& owner);

 public slots:
  void Activate(const QVariantMap& platformData);
  void Open(const QStringList& uris, const QVariantMap& platformData);
  void ActivateAction(const QString& name, const QVariantList& parameter,
                      const QVariantMap& platformData);

 private:
  SingleInstance& owner_;
};

}  // namespace quillet
