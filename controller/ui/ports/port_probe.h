// The port test of the Ports dialog, both ends. The application runs itself
// as a child process (QTR90xControler --probe-port TARGET) because the
// library holds one session per process: the child opens the target in a
// session of its own, asks the cascade for its size and camera 1 for its
// unit name, prints one line (core/port_probe.h) and ends, and the
// application's own session is never touched.
#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>
#include <cstdio>

#include "core/ports/port_probe.h"

namespace qtr90x {

// The child's side: opens target as COM1 of its own process (through
// QZLINK_COM1, which comes before any stored target), runs the two queries,
// waiting at most answerWaitMs for each answer, prints the line on out.
// Needs no display. Returns the process's exit status (0 once the line is
// printed).
int RunPortProbe(const char* target, std::FILE* out, int answerWaitMs = 2000);

// The application's side: starts the child and reports its result once.
class PortProber : public QObject {
  Q_OBJECT

 public:
  // program: the application's own file (tests name it); timeoutMs bounds
  // the whole test, after which the child is ended.
  PortProber(QString program, int timeoutMs, QObject* parent = nullptr);
  ~PortProber() override;

  void Start(const QString& target);
  bool Running() const { return process_.state() != QProcess::NotRunning; }

 signals:
  void Finished(const qtr90x::ProbeResult& result);

 private:
  void Done(const ProbeResult& result);

  QString program_;
  QProcess process_;
  QTimer deadline_;
  bool reported_ = true;
};

}  // namespace qtr90x
