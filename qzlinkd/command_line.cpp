#include "qzlinkd/command_line.h"

namespace qzlinkd {

const char kUsage[] =
    "qzlinkd - drive the cameras of serial lines over HTTP and WebSocket\n"
    "\n"
    "Usage: qzlinkd [--listen HOST:PORT]... --line N [--line M]... [--foreground]\n"
    "       qzlinkd --print-token [read|control|admin]\n"
    "\n"
    "Owns the camera lines COM<N> (resolved by the port mapping: QZLINK_COM<N>,\n"
    "the stored mapping, /dev/ttyS<N-1>; rfc2217:// device servers work), every\n"
    "camera 1 to 9 on each, and serves the network control API on HTTP and\n"
    "WebSocket (/api/v1/..., the operator page at /). Every request needs the\n"
    "token of ${XDG_CONFIG_HOME:-$HOME/.config}/qzlink/api-token (created at\n"
    "the first start, mode 0600). Ready when GET /api/v1/lines answers.\n"
    "SIGTERM stops every moving camera, then the program exits.\n"
    "\n"
    "Options:\n"
    "  --listen HOST:PORT  listen there (default 127.0.0.1:8099 and [::1]:8099;\n"
    "                      localhost means both); more than one may be given,\n"
    "                      all with the same port. Other addresses than\n"
    "                      loopback are reachable from the network: mind the\n"
    "                      token\n"
    "  --line N            own COM<N> (1 to 9); may be given up to 9 times\n"
    "  --foreground        stay in the foreground, log to standard error (the\n"
    "                      default; systemd runs it so)\n"
    "  --print-token [SCOPE]\n"
    "                      print the token of SCOPE (default admin; read and\n"
    "                      control tokens are derived from it), creating it if\n"
    "                      needed, and exit\n"
    "  -h, --help          show this help and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "Systemd: the user unit qzlinkd.service runs it; with qzlinkd.socket the\n"
    "port is systemd's and is passed on (LISTEN_FDS).\n"
    "\n"
    "Environment:\n"
    "  QZLINK_COM1 ... QZLINK_COM9\n"
    "                 the target of COM1 to COM9, over the stored settings\n"
    "  QZLINK_REGISTRY\n"
    "                 the settings file, instead of\n"
    "                 ${XDG_CONFIG_HOME:-$HOME/.config}/qzlink/registry.reg\n"
    "  XDG_CONFIG_HOME\n"
    "                 where qzlink/api-token is kept (default ~/.config)\n"
    "\n"
    "Examples:\n"
    "  qzlinkd --line 1\n"
    "      serves the cameras on COM1 at http://127.0.0.1:8099/\n"
    "  qzlinkd --listen 127.0.0.1:8787 --line 1 --line 2\n"
    "      serves two lines on port 8787\n"
    "  curl -H \"Authorization: Bearer $(qzlinkd --print-token read)\" \\\n"
    "       http://127.0.0.1:8099/api/v1/cameras\n"
    "      lists the cameras of every line\n"
    "\n"
    "Exit status:\n"
    "  0  stopped by SIGTERM or SIGINT, or --help, --version, --print-token\n"
    "  1  the port, a line's worker or the token could not be had\n"
    "  2  bad command line\n";

namespace {

std::optional<quint16> PortOf(const QString& text) {
  bool ok = false;
  const uint port = text.toUInt(&ok);
  if (!ok || port == 0 || port > 65535)
    return std::nullopt;
  return static_cast<quint16>(port);
}

// "HOST:PORT", "[V6]:PORT"; false when it is neither.
bool SplitListen(const QString& text, QString* host, QString* port) {
  if (text.startsWith('[')) {
    const qsizetype close = text.indexOf(QStringLiteral("]:"));
    if (close < 0)
      return false;
    *host = text.mid(1, close - 1);
    *port = text.mid(close + 2);
    return true;
  }
  const qsizetype colon = text.lastIndexOf(':');
  if (colon <= 0 || text.indexOf(':') != colon)
    return false;
  *host = text.left(colon);
  *port = text.mid(colon + 1);
  return true;
}

}  // namespace

ParseResult ParseCommandLine(const QStringList& args) {
  Options options;
  bool portSet = false;
  auto fail = [](const QString& error) { return ParseResult{std::nullopt, error}; };
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& arg = args[i];
    auto value = [&](QString* out) {
      if (i + 1 >= args.size())
        return false;
      *out = args[++i];
      return true;
    };
    QString text;
    if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
      options.action = Action::kHelp;
      return {options, {}};
    }
    if (arg == QLatin1String("--version")) {
      options.action = Action::kVersion;
      return {options, {}};
    }
    if (arg == QLatin1String("--print-token")) {
      options.action = Action::kPrintToken;
      static const QStringList kScopes{"read", "control", "admin"};
      if (i + 1 < args.size() && kScopes.contains(args[i + 1]))
        options.tokenScope = args[++i];
    } else if (arg == QLatin1String("--foreground")) {
      options.foreground = true;
    } else if (arg == QLatin1String("--listen")) {
      if (!value(&text))
        return fail(QStringLiteral("--listen needs HOST:PORT"));
      QString host, portText;
      if (!SplitListen(text, &host, &portText))
        return fail(QStringLiteral("--listen %1: not HOST:PORT").arg(text));
      const std::optional<quint16> port = PortOf(portText);
      if (!port)
        return fail(QStringLiteral("--listen %1: the port must be 1 to 65535").arg(text));
      if (portSet && *port != options.port)
        return fail(QStringLiteral("--listen: every address must have the same port"));
      options.port = *port;
      portSet = true;
      if (host == QLatin1String("localhost")) {
        options.addresses << QHostAddress(QHostAddress::LocalHost)
                          << QHostAddress(QHostAddress::LocalHostIPv6);
        continue;
      }
      QHostAddress address;
      if (!address.setAddress(host))
        return fail(QStringLiteral("--listen %1: %2 is not an address").arg(text, host));
      options.addresses << address;
      if (!address.isLoopback())
        options.hostNames << host;
    } else if (arg == QLatin1String("--line") || arg == QLatin1String("--line-worker")) {
      if (!value(&text))
        return fail(QStringLiteral("%1 needs a COM number").arg(arg));
      bool ok = false;
      const int line = text.toInt(&ok);
      if (!ok || line < 1 || line > 9)
        return fail(QStringLiteral("%1 %2: the COM number must be 1 to 9").arg(arg, text));
      if (arg == QLatin1String("--line-worker")) {
        options.action = Action::kLineWorker;
        options.workerLine = line;
      } else if (options.lines.contains(line)) {
        return fail(QStringLiteral("--line %1 is given twice").arg(line));
      } else {
        options.lines << line;
      }
    } else {
      return fail(QStringLiteral("unknown option '%1'").arg(arg));
    }
  }
  if (options.action == Action::kRun && options.lines.isEmpty())
    return fail(QStringLiteral("no line: give --line N"));
  return {options, {}};
}

}  // namespace qzlinkd
