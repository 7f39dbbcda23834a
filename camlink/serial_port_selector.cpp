#include "camlink/serial_port_selector.h"

#include "camlink/port_mapping.h"
#include "camlink/rfc2217_address.h"

namespace qzlink {

int SerialPortSelector::Open(int32_t portNumber) {
  active_->Close();
  char target[kMaxPortTargetLength + 1];
  ResolvePortTarget(portNumber, target, sizeof target);
  active_ = IsRfc2217Address(target) ? static_cast<SerialPort*>(&network_)
                                     : static_cast<SerialPort*>(&local_);
  return active_->Open(portNumber);
}

}  // namespace qzlink
