// One Quillet per desktop session, over the session bus. The first start owns the bus name that
// is the application id and answers the org.freedesktop.Application interface at the object
// path made from it; a later start hands its files (or, without files, a request to come to the
// front) to that one and ends. Without a session bus every start runs on its own.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
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

  explicit SingleInstance(const QDBusConnection& bus, QObject* parent = nullptr);
  ~SingleInstance() override;

  // Exports the object, then asks for the name. Problems other than a missing bus are written to
  // the error output; the start then runs on its own.
  Role Claim();
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

  QDBusConnection bus_;
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
