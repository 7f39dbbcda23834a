// One camera line in this process: the camera link, the network's view of
// it, and the opening: a line that cannot be opened at the start (the
// device is not there yet, the previous owner is still closing it) is
// tried again every 2 s. A line lost later the link opens again itself.
#pragma once

#include <QObject>
#include <QTimer>

#include "ui/link/camera_link.h"
#include "ui/network/link_line.h"

namespace qzlinkd {

class LineHost : public QObject {
  Q_OBJECT
 public:
  explicit LineHost(int line, QObject* parent = nullptr);
  ~LineHost() override;

  void Open();
  qtr90x::net::LinkLine& Backend() { return backend_; }
  qtr90x::CameraLink& Link() { return link_; }

 private:
  int line_;
  qtr90x::CameraLink link_;
  qtr90x::net::LinkLine backend_;
  QTimer retry_;
};

}  // namespace qzlinkd
