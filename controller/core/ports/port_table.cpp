#include "core/ports/port_table.h"

#include <algorithm>

namespace qtr90x {

PortTable::PortTable(const std::array<Source, kPorts>& sources) {
  for (size_t i = 0; i < rows_.size(); ++i) {
    rows_[i] = {sources[i], sources[i].stored};
  }
}

const PortTable::Row& PortTable::At(int port) const {
  return rows_[static_cast<size_t>(std::clamp(port, 1, kPorts) - 1)];
}

void PortTable::Choose(int port, const std::string& target) {
  if (port >= 1 && port <= kPorts) {
    rows_[static_cast<size_t>(port - 1)].chosen = target;
  }
}

const std::string& PortTable::Chosen(int port) const {
  return At(port).chosen;
}

qzlink::PortTarget PortTable::Effective(int port) const {
  const Row& row = At(port);
  char target[qzlink::kMaxPortTargetLength + 1];
  const qzlink::PortTargetChoice choice = qzlink::ChoosePortTarget(
      port, row.source.environment.c_str(), row.chosen.c_str(), target, sizeof target);
  return {target, choice.source, {}};
}

bool PortTable::EnvironmentOverrides(int port) const {
  return !At(port).source.environment.empty();
}

std::string PortTable::Problem(int port) const {
  const std::string& chosen = At(port).chosen;
  return chosen.empty() ? std::string() : qzlink::PortTargetProblem(chosen);
}

bool PortTable::AnyProblem() const {
  for (int port = 1; port <= kPorts; ++port) {
    if (!Problem(port).empty()) {
      return true;
    }
  }
  return false;
}

std::vector<int> PortTable::ChangedPorts() const {
  std::vector<int> changed;
  for (int port = 1; port <= kPorts; ++port) {
    if (At(port).chosen != At(port).source.stored) {
      changed.push_back(port);
    }
  }
  return changed;
}

}  // namespace qtr90x
