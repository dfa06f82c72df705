#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "common/AppId.h"

namespace quillet {

namespace {

constexpr const char* kInterface = "org.freedesktop.Application";

void Warn(const QString& text) { std::fprintf(stderr, "quillet: %s\n", qPrintable(text)); }

// The start lock of the session bus this process would use: in the temporary folder (which every
// start of the session shares, whatever its runtime folder), named after the bus's address.
std::string StartLockPath() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const char* c = address != nullptr ? address : ""; *c != '\0'; ++c) {
    hash = (hash ^ static_cast<unsigned char>(*c)) * 1099511628211ull;
  }
  const char* tmp = std::getenv("TMPDIR");
  char name[96];
  std::snprintf(name, sizeof name, "/%s-%u-%016llx.lock", kAppId, static_cast<unsigned>(::getuid()),
                static_cast<unsigned long long>(hash));
  return std::string(tmp != nullptr && *tmp == '/' ? tmp : "/tmp") + name;
}

}  // namespace

ApplicationInterface::ApplicationInterface(SingleInstance& owner) : QObject(&owner), owner_(owner) {
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
    : SingleInstance([bus] { return bus; }, parent) {}

SingleInstance::SingleInstance(std::function<QDBusConnection()> connect, QObject* parent)
    : QObject(parent), connect_(std::move(connect)), exported_(new ApplicationInterface(*this)) {
  setObjectName(QStringLiteral("SingleInstance"));
}

SingleInstance::~SingleInstance() {
  if (objectRegistered_) {
    bus_->unregisterObject(ObjectPath());
    // Owned only while the object was there; a later start then takes the name itself.
    if (QDBusConnectionInterface* busInterface = bus_->interface()) {
      busInterface->unregisterService(QString::fromLatin1(kAppId));
    }
  }
  // After the name: a start that finds the lock free finds the name free too.
  if (lockFd_ >= 0) ::close(lockFd_);
}

QDBusConnection& SingleInstance::Bus() {
  if (!bus_) bus_ = connect_();
  return *bus_;
}

SingleInstance::StartLock SingleInstance::TakeStartLock() {
  if (lockFd_ >= 0) return StartLock::Ours;
  const std::string path = StartLockPath();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return StartLock::Unavailable;
  // Someone else's file is no lock of ours: they could hold it to keep us waiting.
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid()) {
    ::close(fd);
    return StartLock::Unavailable;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    lockFd_ = fd;
    return StartLock::Ours;
  }
  const bool busy = errno == EWOULDBLOCK;
  ::close(fd);
  return busy ? StartLock::Busy : StartLock::Unavailable;
}

bool SingleInstance::WaitForRunning(int timeoutMs) {
  QDBusConnection& bus = Bus();
  if (!bus.isConnected()) return false;
  QDBusConnectionInterface* busInterface = bus.interface();
  if (busInterface == nullptr) return false;
  const QDeadlineTimer deadline(timeoutMs);
  for (;;) {
    const QDBusReply<bool> owned = busInterface->isServiceRegistered(QString::fromLatin1(kAppId));
    if (!owned.isValid()) return false;
    if (owned.value()) return true;
    if (deadline.hasExpired()) return false;
    QThread::msleep(10);
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
  claimed_ = true;
  TakeStartLock();
  QDBusConnection& bus = Bus();
  if (!bus.isConnected()) return Role::Alone;
  // The object first, so a start that finds the name taken always finds the object behind it.
  objectRegistered_ = bus.registerObject(ObjectPath(), exported_, QDBusConnection::ExportAllSlots);
  if (!objectRegistered_) {
    Warn(QStringLiteral("cannot export %1 on the session bus; running on its own")
             .arg(ObjectPath()));
    return Role::Alone;
  }
  QDBusConnectionInterface* busInterface = bus.interface();
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
  bus.unregisterObject(ObjectPath());
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
  const QDBusMessage reply = Bus().call(call, QDBus::Block, kHandOffTimeoutMs);
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
