#include "qzlinkd/daemon.h"

#include <QCoreApplication>
#include <QTimer>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>

#include "netcontrol/token_store.h"
#include "qz_version.h"

namespace qzlinkd {

namespace {
// The stops of every line have this long to reach the cameras.
constexpr int kStopBoundMs = 3000;
constexpr int kSystemdFirstFd = 3;
}  // namespace

QList<qintptr> SystemdSockets() {
  QList<qintptr> sockets;
  bool ok = false;
  const qint64 pid = qEnvironmentVariable("LISTEN_PID").toLongLong(&ok);
  if (!ok || pid != ::getpid())
    return sockets;
  const int count = qEnvironmentVariable("LISTEN_FDS").toInt(&ok);
  for (int i = 0; ok && i < count; ++i) {
    const int fd = kSystemdFirstFd + i;
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);  // not for the line workers
    sockets << fd;
  }
  qunsetenv("LISTEN_PID");
  qunsetenv("LISTEN_FDS");
  qunsetenv("LISTEN_FDNAMES");
  return sockets;
}

void NotifySystemd(const QByteArray& state) {
  const QByteArray path = qgetenv("NOTIFY_SOCKET");
  if (path.isEmpty() || path.size() >= int(sizeof(sockaddr_un::sun_path)))
    return;
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
  if (address.sun_path[0] == '@')
    address.sun_path[0] = '\0';  // the abstract namespace
  ::sendto(fd, state.constData(), size_t(state.size()), MSG_NOSIGNAL,
           reinterpret_cast<const sockaddr*>(&address),
           socklen_t(offsetof(sockaddr_un, sun_path) + size_t(path.size())));
  ::close(fd);
}

Daemon::Daemon(Options options, QString program)
    : options_(std::move(options)), program_(std::move(program)) {
  connect(&signals_, &SignalWatch::Terminate, this, [this] { Terminate(0); });
}

Daemon::~Daemon() {
  if (service_)
    service_->Stop();
  for (auto& line : others_)
    line->Quit(2000);
}

bool Daemon::Start(QString* error) {
  const qznet::TokenLoad token = qznet::TokenStore::LoadOrCreate(qznet::TokenStore::DefaultPath());
  if (token.token.isEmpty()) {
    *error = token.error;
    return false;
  }
  if (token.created)
    std::fprintf(stderr, "qzlinkd: a new API token is in %s (qzlinkd --print-token shows it)\n",
                 qPrintable(qznet::TokenStore::DefaultPath()));

  // The library holds one session per process: the first line here, every
  // other in a worker of its own.
  for (int line : options_.lines) {
    if (!first_) {
      first_ = std::make_unique<LineHost>(line);
      hub_.AddLine(&first_->Backend());
      first_->Open();
    } else {
      auto remote = std::make_unique<RemoteLine>(line, program_);
      hub_.AddLine(remote.get());
      remote->Start();
      others_.push_back(std::move(remote));
    }
  }

  qznet::ServiceSettings settings;
  if (!options_.addresses.isEmpty())
    settings.addresses = options_.addresses;
  settings.port = options_.port;
  settings.listeningSockets = SystemdSockets();
  settings.adminToken = token.token;
  settings.allowedHosts = options_.hostNames;
  settings.version = QStringLiteral(QZ_VERSION);
  settings.log = [](const QString& line) {
    std::fprintf(stderr, "qzlinkd: %s\n", qPrintable(line));
  };
  service_ = std::make_unique<qznet::NetControlService>(hub_, settings);
  connect(&hub_, &qtr90x::net::LinkHub::LocalOperator, service_.get(),
          &qznet::NetControlService::LocalOperator);
  if (!service_->Start(error))
    return false;
  std::fprintf(stderr, "qzlinkd: listening on port %u\n", unsigned(service_->Port()));
  NotifySystemd("READY=1");
  return true;
}

void Daemon::Terminate(int status) {
  if (terminating_)
    return;
  terminating_ = true;
  NotifySystemd("STOPPING=1");
  std::fprintf(stderr, "qzlinkd: stopping every moving camera\n");
  // The service's own moves first (their stops are queued on the lines),
  // then whatever else runs; the lines say when their queues are empty.
  if (service_)
    service_->Stop();
  auto finish = [this, status] {
    for (auto& line : others_)
      line->Quit(1000);
    QCoreApplication::exit(status);
  };
  hub_.StopAll(finish);
  QTimer::singleShot(kStopBoundMs, this, finish);
}

}  // namespace qzlinkd
