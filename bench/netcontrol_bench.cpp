// The network control service as qzlinkd runs it (a LineHost on COM1, the
// hub, the HTTP and WebSocket service) against a simulated camera, with a
// tap on the line that timestamps each frame's first byte in both
// directions. The clients are plain sockets in a thread of their own, so the
// service's thread does nothing but serve.
// - HttpToFirstByte: a POST move to the first byte of its frame on the
//   line, p50 and p99 over 1000 requests (a fast simulator; each request
//   waits for the camera's answer before the next).
// - NotifyToWebSocket: a notification's first byte from the camera to the
//   camera.notify event read by a WebSocket client, p50 and p99.
// - SustainedMoves: eight clients sending moves back to back for two
//   seconds to a camera paced at 9600 baud; requests answered per second against
//   commands on the line per second and the share of the line's time they
//   fill (coalescing keeps the line, not the server, the limit).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/line_tap.h"
#include "netcontrol/netcontrol_service.h"
#include "qzlinkd/line_host.h"
#include "testsupport/link_test_support.h"
#include "ui/network/link_hub.h"

namespace {

const QByteArray kToken(64, 'a');

using qzbench::MonotonicNs;

// A blocking client connection with bounded waits.
class Connection {
 public:
  explicit Connection(quint16 port) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ok_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    host_ = "127.0.0.1:" + std::to_string(port);
  }
  ~Connection() { close(fd_); }
  bool Ok() const { return ok_; }
  const std::string& Host() const { return host_; }

  bool Send(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0)
        return false;
      done += std::size_t(n);
    }
    return true;
  }
  // Reads until `complete` says how much of the buffer is one message; that
  // message (and no more) is taken from the buffer. Empty on a timeout.
  std::string Read(const std::function<std::size_t(const std::string&)>& complete, int timeoutMs) {
    const std::int64_t deadline = MonotonicNs() + std::int64_t(timeoutMs) * 1000000;
    for (;;) {
      if (const std::size_t size = complete(buffer_)) {
        std::string message = buffer_.substr(0, size);
        buffer_.erase(0, size);
        return message;
      }
      const int left = int((deadline - MonotonicNs()) / 1000000);
      pollfd p{fd_, POLLIN, 0};
      if (left <= 0 || poll(&p, 1, left) <= 0)
        return {};
      char chunk[4096];
      const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0)
        return {};
      buffer_.append(chunk, std::size_t(n));
    }
  }

 private:
  int fd_;
  bool ok_ = false;
  std::string host_;
  std::string buffer_;
};

std::string Request(const Connection& c, const std::string& method, const std::string& path,
                    const std::string& body, const std::string& extra = {}) {
  return method + " " + path + " HTTP/1.1\r\nHost: " + c.Host() + "\r\nAuthorization: Bearer " +
         kToken.toStdString() + "\r\n" + extra +
         (body.empty() && method == "GET" ? std::string()
                                          : "Content-Type: application/json\r\nContent-Length: " +
                                                std::to_string(body.size()) + "\r\n") +
         "\r\n" + body;
}

// One HTTP response: its headers and a body of Content-Length bytes.
std::size_t HttpComplete(const std::string& b) {
  const std::size_t end = b.find("\r\n\r\n");
  if (end == std::string::npos)
    return 0;
  std::size_t length = 0;
  std::string head = b.substr(0, end);
  std::transform(head.begin(), head.end(), head.begin(), ::tolower);
  const std::size_t at = head.find("content-length:");
  if (at != std::string::npos)
    length = std::stoul(head.substr(at + 15));
  return b.size() >= end + 4 + length ? end + 4 + length : 0;
}

// One unmasked WebSocket frame from the server; Payload() takes its text.
std::size_t FrameComplete(const std::string& b) {
  if (b.size() < 2)
    return 0;
  std::size_t length = std::uint8_t(b[1]) & 0x7F, header = 2;
  if (length == 126) {
    if (b.size() < 4)
      return 0;
    length = (std::size_t(std::uint8_t(b[2])) << 8) | std::uint8_t(b[3]);
    header = 4;
  } else if (length == 127) {
    if (b.size() < 10)
      return 0;
    length = 0;
    for (int i = 2; i < 10; ++i)
      length = (length << 8) | std::uint8_t(b[std::size_t(i)]);
    header = 10;
  }
  return b.size() >= header + length ? header + length : 0;
}

int Status(const std::string& response) {
  return response.size() > 12 ? std::atoi(response.c_str() + 9) : 0;
}

// The daemon's pieces in this process: a simulator behind a tap on COM1, the
// line, the hub and the service with its request rate limit lifted (the
// benchmarks measure the path, not the limiter).
class Rig {
 public:
  explicit Rig(const QStringList& simulatorOptions) {
    qputenv("QZLINK_REGISTRY", (dir_.path() + QStringLiteral("/registry.reg")).toLocal8Bit());
    const QString link = dir_.path() + QStringLiteral("/camera");
    simulator_.start(QStringLiteral(CAMSIM_PATH),
                     QStringList{QStringLiteral("--link"), link} + simulatorOptions);
    simulator_.waitForStarted(5000);
    QElapsedTimer timer;
    timer.start();
    while (!simulator_.canReadLine() && timer.elapsed() < 5000)
      simulator_.waitForReadyRead(100);
    if (!simulator_.readLine().startsWith("ready ") || !line_.Valid())
      return;
    line_.BecomeComPort(1);
    tap_ = std::make_unique<qzbench::LineTap>(line_.MasterFd(), link.toStdString());
    host_ = std::make_unique<qzlinkd::LineHost>(1);
    hub_.AddLine(&host_->Backend());
    host_->Open();
    qznet::ServiceSettings settings;
    settings.addresses = {QHostAddress(QHostAddress::LocalHost)};
    settings.port = 0;
    settings.adminToken = kToken;
    settings.limits.requestsPerSecond = 1e9;
    settings.limits.requestBurst = 1e9;
    service_ = std::make_unique<qznet::NetControlService>(hub_, settings);
    QString error;
    ready_ = tap_->Valid() && service_->Start(&error);
  }
  ~Rig() {
    if (service_)
      service_->Stop();
    service_.reset();
    host_.reset();
    tap_.reset();
    simulator_.terminate();
    simulator_.waitForFinished(3000);
  }
  bool Ready() const { return ready_; }
  quint16 Port() const { return service_->Port(); }
  qzbench::LineTap& Line() { return *tap_; }
  // A control line to the simulator, from any thread.
  void Simulator(const QByteArray& line) {
    QMetaObject::invokeMethod(
        &simulator_, [this, line] { simulator_.write(line + '\n'); }, Qt::QueuedConnection);
  }
  // Runs `client` in a thread of its own while this thread serves.
  void Run(const std::function<void()>& client) {
    QEventLoop loop;
    std::thread thread([&] {
      client();
      QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    thread.join();
  }
  // Until the camera is online (bounded).
  bool WaitOnline(Connection& c) {
    for (int i = 0; i < 200; ++i) {
      c.Send(Request(c, "GET", "/api/v1/cameras/1/1", {}));
      if (c.Read(HttpComplete, 2000).find("\"link\":\"online\"") != std::string::npos)
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
  }

 private:
  QTemporaryDir dir_;
  QProcess simulator_;
  qzlink::testing::PtyPair line_;
  std::unique_ptr<qzbench::LineTap> tap_;
  std::unique_ptr<qzlinkd::LineHost> host_;
  qtr90x::net::LinkHub hub_;
  std::unique_ptr<qznet::NetControlService> service_;
  bool ready_ = false;
};

void Percentiles(benchmark::State& state, std::vector<double> micros) {
  if (micros.empty())
    return;
  std::sort(micros.begin(), micros.end());
  const auto at = [&](double q) {
    return micros[std::min(micros.size() - 1, std::size_t(q * double(micros.size())))];
  };
  state.counters["p50_us"] = at(0.50);
  state.counters["p99_us"] = at(0.99);
  state.counters["max_us"] = micros.back();
  state.counters["samples"] = double(micros.size());
}

// QZ_BENCH_SAMPLES lowers the sample counts for a brief run
// (scripts/run-benchmarks.sh); the figures of such a run are not measurements.
int Samples(int full) {
  bool ok = false;
  const int brief = qEnvironmentVariableIntValue("QZ_BENCH_SAMPLES", &ok);
  return ok && brief > 0 ? std::min(brief, full) : full;
}

std::string Move(double pan) {
  return "{\"pan\":" + std::to_string(pan) + ",\"tilt\":0,\"timeout_ms\":5000}";
}

void HttpToFirstByte(benchmark::State& state) {
  const int kRequests = Samples(1000);
  Rig rig({QStringLiteral("--fast")});
  if (!rig.Ready()) {
    state.SkipWithError("the simulator or the service did not start");
    return;
  }
  std::vector<double> micros;
  std::string failure;
  for (auto _ : state) {
    rig.Run([&] {
      Connection c(rig.Port());
      if (!c.Ok() || !rig.WaitOnline(c)) {
        failure = "the camera did not come online";
        return;
      }
      qzbench::LineTap& tap = rig.Line();
      tap.WaitQuiet(50, 3000);
      for (int i = 0; i < kRequests && failure.empty(); ++i) {
        // Each move differs from the one before, so each is a new frame.
        const std::string request =
            Request(c, "POST", "/api/v1/cameras/1/1/move", Move(i % 2 ? -0.5 : 0.5));
        const std::size_t sent = tap.Count(qzbench::LineTap::kToCamera);
        const std::size_t answers = tap.Count(qzbench::LineTap::kFromCamera);
        const std::int64_t start = MonotonicNs();
        c.Send(request);
        const std::int64_t first = tap.WaitFrame(qzbench::LineTap::kToCamera, sent, 2000);
        const int status = Status(c.Read(HttpComplete, 2000));
        if (first < 0 || status / 100 != 2) {
          failure = "request " + std::to_string(i) + ": status " + std::to_string(status);
          break;
        }
        micros.push_back(double(first - start) / 1000.0);
        tap.WaitFrame(qzbench::LineTap::kFromCamera, answers,
                      1000);  // the camera's answer before the next
      }
      c.Send(Request(c, "POST", "/api/v1/cameras/1/1/stop", "{}"));
      c.Read(HttpComplete, 2000);
    });
  }
  if (!failure.empty())
    state.SkipWithError(failure.c_str());
  Percentiles(state, micros);
}
BENCHMARK(HttpToFirstByte)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void NotifyToWebSocket(benchmark::State& state) {
  const int kNotifications = Samples(200);
  Rig rig({QStringLiteral("--fast")});
  if (!rig.Ready()) {
    state.SkipWithError("the simulator or the service did not start");
    return;
  }
  std::vector<double> micros;
  std::string failure;
  for (auto _ : state) {
    rig.Run([&] {
      Connection http(rig.Port());
      Connection ws(rig.Port());
      if (!http.Ok() || !ws.Ok() || !rig.WaitOnline(http)) {
        failure = "the camera did not come online";
        return;
      }
      ws.Send("GET /api/v1/ws?client=bench&token=" + kToken.toStdString() +
              " HTTP/1.1\r\nHost: " + ws.Host() +
              "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
      const std::string upgrade = ws.Read(
          [](const std::string& b) {
            const std::size_t end = b.find("\r\n\r\n");
            return end == std::string::npos ? 0 : end + 4;
          },
          2000);
      if (Status(upgrade) != 101) {
        failure = "no WebSocket upgrade";
        return;
      }
      qzbench::LineTap& tap = rig.Line();
      for (int i = 0; i < kNotifications && failure.empty(); ++i) {
        // A power change brings more than one event; the next input waits
        // until the line is quiet and the events before it are read.
        tap.WaitQuiet(30, 3000);
        while (!ws.Read(FrameComplete, 20).empty()) {
        }
        const std::size_t from = tap.Count(qzbench::LineTap::kFromCamera);
        rig.Simulator(i % 2 ? "power 1 on" : "power 1 off");
        for (;;) {
          const std::string frame = ws.Read(FrameComplete, 3000);
          const std::int64_t now = MonotonicNs();
          if (frame.empty()) {
            failure = "no power event at " + std::to_string(i);
            break;
          }
          // The notification is the camera's first frame since the input.
          const std::int64_t line = tap.WaitFrame(qzbench::LineTap::kFromCamera, from, 0);
          if (line > 0 && frame.find("camera.notify") != std::string::npos &&
              frame.find("\"kind\":\"power\"") != std::string::npos) {
            micros.push_back(double(now - line) / 1000.0);
            break;
          }
        }
      }
    });
  }
  if (!failure.empty())
    state.SkipWithError(failure.c_str());
  Percentiles(state, micros);
}
BENCHMARK(NotifyToWebSocket)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void SustainedMoves(benchmark::State& state) {
  constexpr double kSeconds = 2.0;
  constexpr double kBaud = 9600;
  constexpr int kClients = 8;
  Rig rig({});  // paced at 9600 baud, with the camera's reply delay
  if (!rig.Ready()) {
    state.SkipWithError("the simulator or the service did not start");
    return;
  }
  std::atomic<int> requests{0}, refused{0}, lost{0};
  double commands = 0, lineBytes = 0, wall = 0;
  std::string failure;
  for (auto _ : state) {
    rig.Run([&] {
      Connection c(rig.Port());
      if (!c.Ok() || !rig.WaitOnline(c)) {
        failure = "the camera did not come online";
        return;
      }
      qzbench::LineTap& tap = rig.Line();
      tap.WaitQuiet(100, 5000);
      const std::size_t sent = tap.Count(qzbench::LineTap::kToCamera);
      const std::uint64_t bytes = tap.Bytes();
      const std::int64_t start = MonotonicNs();
      // Several clients at once, each sending its next move as soon as the
      // last is answered: the moves for the camera coalesce, newest wins.
      std::vector<std::thread> clients;
      for (int k = 0; k < kClients; ++k) {
        clients.emplace_back([&, k] {
          Connection own(rig.Port());
          for (int i = k; own.Ok() && MonotonicNs() - start < std::int64_t(kSeconds * 1e9); ++i) {
            own.Send(Request(own, "POST", "/api/v1/cameras/1/1/move", Move(0.1 + 0.1 * (i % 9))));
            const int status = Status(own.Read(HttpComplete, 2000));
            if (status == 0) {
              ++lost;
              break;
            }
            ++requests;
            refused += status / 100 != 2;
          }
        });
      }
      for (auto& client : clients)
        client.join();
      wall = double(MonotonicNs() - start) / 1e9;
      commands = double(tap.Count(qzbench::LineTap::kToCamera) - sent);
      lineBytes = double(tap.Bytes() - bytes);
      c.Send(Request(c, "POST", "/api/v1/cameras/1/1/stop", "{}"));
      c.Read(HttpComplete, 2000);
    });
  }
  if (!failure.empty())
    state.SkipWithError(failure.c_str());
  state.counters["clients"] = kClients;
  state.counters["requests_per_s"] = double(requests.load()) / wall;
  state.counters["refused"] = refused.load();
  state.counters["unanswered"] = lost.load();
  state.counters["line_commands_per_s"] = commands / wall;
  // Ten bits a byte: the share of the line's time the bytes both ways fill.
  state.counters["line_busy"] = lineBytes * 10.0 / kBaud / wall;
  // The most a 9600-baud line carries of these moves, command and answer.
  state.counters["floor_commands_per_s"] = commands > 0 ? kBaud / 10.0 / (lineBytes / commands) : 0;
}
BENCHMARK(SustainedMoves)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
