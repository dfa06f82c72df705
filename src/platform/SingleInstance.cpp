#include "platform/SingleInstance.h"

#include <QByteArray>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QTimer>
#include <QUrl>
#include <cstdio>

#include "common/AppId.h"

namespace quillet {

namespace {

constexpr const char* kInterface = "org.freedesktop.Application";

void Warn(const QString& text) { std::fprintf(stderr, "quillet: %s\n", qPrintable(text)); }

}  // namespace

ApplicationInterface::ApplicationInterface(SingleInstance& owner)
    : QObject(&owner), owner_(owner) {
  setObjectName(QStringLiteral("ApplicationInterface"));
}

void ApplicationInterface::Activate(const QVariantMap&) { owner_.Received({}); }

void ApplicationInterface::Open(const QStringList& uris, const QVariantMap&) {
  std::vector<std::string> files;
  for (const QString& uri : uris) {
    std::string path;
    if (SingleInstance::LocalPath(uri, &path)) {
      files.push_back(std::move(path));
    } else {
      Warn(QStringLiteral("not a local file, left out: %1").arg(uri));
    }
  }
  owner_.Received(std::move(files));
}

// The desktop entry declares no actions; asked for one, Quillet comes to the front.
void ApplicationInterface::ActivateAction(const QString&, const QVariantList&, const QVariantMap&) {
  owner_.Received({});
}

SingleInstance::SingleInstance(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus), exported_(new ApplicationInterface(*this)) {
  setObjectName(QStringLiteral("SingleInstance"));
}

SingleInstance::~SingleInstance() {
  if (!objectRegistered_) return;
  bus_.unregisterObject(ObjectPath());
  // Owned only while the object was there; a later start then takes the name itself.
  if (QDBusConnectionInterface* busInterface = bus_.interface()) {
    busInterface->unregisterService(QString::fromLatin1(kAppId));
  }
}

QString SingleInstance::ObjectPath() {
  // The path desktop entries expect of an application id: dots become slashes, dashes
  // underscores.
  QString path = QLatin1Char('/') + QString::fromLatin1(kAppId);
  path.replace(QLatin1Char('.'), QLatin1Char('/')).replace(QLatin1Char('-'), QLatin1Char('_'));
  return path;
}

QString SingleInstance::FileUri(const std::string& path) {
  const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
  return QStringLiteral("file://") + QString::fromLatin1(bytes.toPercentEncoding("/"));
}

bool SingleInstance::LocalPath(const QString& uri, std::string* path) {
  const QUrl url(uri, QUrl::StrictMode);
  if (!url.isValid() || url.scheme() != QLatin1String("file")) return false;
  if (!url.host().isEmpty() && url.host() != QLatin1String("localhost")) return false;
  const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
  if (bytes.isEmpty() || bytes.contains('\0')) return false;
  *path = bytes.toStdString();
  return true;
}

SingleInstance::Role SingleInstance::Claim() {
  if (!bus_.isConnected()) return Role::Alone;
  // The object first, so a start that finds the name taken always finds the object behind it.
  objectRegistered_ = bus_.registerObject(ObjectPath(), exported_, QDBusConnection::ExportAllSlots);
  if (!objectRegistered_) {
    Warn(QStringLiteral("cannot export %1 on the session bus; running on its own")
             .arg(ObjectPath()));
    return Role::Alone;
  }
  QDBusConnectionInterface* busInterface = bus_.interface();
  const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
      busInterface == nullptr
          ? QDBusReply<QDBusConnectionInterface::RegisterServiceReply>(
                QDBusError(QDBusError::Disconnected, QStringLiteral("no bus interface")))
          : busInterface->registerService(QString::fromLatin1(kAppId),
                                          QDBusConnectionInterface::DontQueueService,
                                          QDBusConnectionInterface::DontAllowReplacement);
  if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
    return Role::First;
  }
  bus_.unregisterObject(ObjectPath());
  objectRegistered_ = false;
  if (!reply.isValid()) {
    Warn(QStringLiteral("cannot own the name %1 on the session bus (%2); running on its own")
             .arg(QString::fromLatin1(kAppId), reply.error().message()));
    return Role::Alone;
  }
  return Role::Second;
}

bool SingleInstance::HandOff(const std::vector<std::string>& files, std::string* error) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QString::fromLatin1(kAppId), ObjectPath(), QString::fromLatin1(kInterface),
      files.empty() ? QStringLiteral("Activate") : QStringLiteral("Open"));
  if (files.empty()) {
    call << QVariantMap();
  } else {
    QStringList uris;
    for (const std::string& f : files) uris << FileUri(f);
    call << uris << QVariantMap();
  }
  const QDBusMessage reply = bus_.call(call, QDBus::Block, kHandOffTimeoutMs);
  if (reply.type() == QDBusMessage::ReplyMessage) return true;
  *error = reply.errorMessage().toStdString();
  if (error->empty()) *error = "no answer";
  return false;
}

void SingleInstance::SetReceiver(Receiver receiver) {
  receiver_ = std::move(receiver);
  if (!pending_.empty()) QTimer::singleShot(0, this, [this] { DeliverPending(); });
}

void SingleInstance::Received(std::vector<std::string> files) {
  pending_.push_back(std::move(files));
  // Not now: the caller is waiting for the answer, which goes back when this returns.
  if (receiver_ && !delivering_) QTimer::singleShot(0, this, [this] { DeliverPending(); });
}

void SingleInstance::DeliverPending() {
  // The receiver may run a nested event loop (a progress dialog); requests arriving meanwhile
  // wait their turn here instead of running inside it.
  if (!receiver_ || delivering_) return;
  delivering_ = true;
  while (!pending_.empty()) {
    std::vector<std::string> files = std::move(pending_.front());
    pending_.erase(pending_.begin());
    receiver_(files);
  }
  delivering_ = false;
}

}  // namespace quillet
