#include "camlink/serial_port_selector.h"

#include <cstdio>
#include <cstdlib>

#include "camlink/rfc2217_address.h"

namespace qzlink {

int SerialPortSelector::Open(int32_t portNumber) {
  active_->Close();
  char variable[32];
  std::snprintf(variable, sizeof variable, "QZLINK_COM%d", static_cast<int>(portNumber));
  active_ = IsRfc2217Address(std::getenv(variable)) ? static_cast<SerialPort*>(&network_)
                                                    : static_cast<SerialPort*>(&local_);
  return active_->Open(portNumber);
}

}  // namespace qzlink
