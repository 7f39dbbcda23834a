// The Ports dialog's table of COM1 to COM9 while the operator edits it: what
// the environment and the store hold, what the operator chose, and what each
// port will open once the choice is kept. The order of the sources is the
// library's own (qzlink::ChoosePortTarget); storing is left to the caller.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "camlink/port_mapping.h"

namespace qtr90x {

class PortTable {
 public:
  struct Source {
    std::string environment;  // QZLINK_COMn's value; empty when unset
    std::string stored;       // the stored target; empty when none
  };
  static constexpr int kPorts = qzlink::kLastComPort;

  PortTable() = default;
  // Index 0 is COM1. The choices start as what is stored.
  explicit PortTable(const std::array<Source, kPorts>& sources);

  // The operator's choice for a port (1 to 9); empty text means none, so
  // that the port falls back to its default.
  void Choose(int port, const std::string& target);
  const std::string& Chosen(int port) const;

  // What the port opens once the choices are kept.
  qzlink::PortTarget Effective(int port) const;
  // True when QZLINK_COMn hides the stored choice.
  bool EnvironmentOverrides(int port) const;
  // Why the choice cannot be stored; empty when it can (or there is none).
  std::string Problem(int port) const;
  bool AnyProblem() const;
  // The ports whose choice differs from what is stored, in order.
  std::vector<int> ChangedPorts() const;

 private:
  struct Row {
    Source source;
    std::string chosen;
  };
  const Row& At(int port) const;

  std::array<Row, kPorts> rows_{};
};

}  // namespace qtr90x
