// The Ports dialog's table while the operator edits it.
#include "core/ports/port_table.h"

#include <gtest/gtest.h>

namespace qtr90x {
namespace {

using qzlink::PortTargetSource;

PortTable Table() {
  std::array<PortTable::Source, PortTable::kPorts> sources{};
  sources[0] = {"", "/dev/serial/by-id/usb-FTDI_A-if00-port0"};  // COM1 stored
  sources[1] = {"/tmp/camera", "/dev/ttyUSB1"};                  // COM2 hidden by the variable
  sources[2] = {"", ""};                                         // COM3 default
  return PortTable(sources);
}

TEST(PortTable, ChoicesChangePortsAndBadOnesAreNamed) {
  PortTable table = Table();
  EXPECT_EQ(table.Effective(1).source, PortTargetSource::kSettings);
  EXPECT_TRUE(table.EnvironmentOverrides(2));
  EXPECT_EQ(table.Effective(3).target, "/dev/ttyS2");
  EXPECT_TRUE(table.ChangedPorts().empty());

  table.Choose(3, "rfc2217://192.0.2.10:2217");
  table.Choose(1, "");  // back to the default
  table.Choose(2, "/dev/ttyACM0");
  EXPECT_EQ(table.Effective(3).target, "rfc2217://192.0.2.10:2217");
  EXPECT_EQ(table.Effective(3).source, PortTargetSource::kSettings);
  EXPECT_EQ(table.Effective(1).target, "/dev/ttyS0");
  EXPECT_EQ(table.Effective(2).target, "/tmp/camera") << "the variable still comes first";
  EXPECT_EQ(table.ChangedPorts(), (std::vector<int>{1, 2, 3}));

  table.Choose(2, "/dev/ttyUSB1");
  EXPECT_EQ(table.ChangedPorts(), (std::vector<int>{1, 3})) << "chosen as stored: no change";

  table.Choose(4, "ttyUSB0");
  EXPECT_FALSE(table.Problem(4).empty());
  EXPECT_TRUE(table.Problem(3).empty());
  EXPECT_TRUE(table.AnyProblem());
  table.Choose(4, "");
  EXPECT_FALSE(table.AnyProblem());
  table.Choose(0, "/dev/x");
  table.Choose(10, "/dev/x");
  EXPECT_EQ(table.ChangedPorts(), (std::vector<int>{1, 3})) << "no such ports";
}

}  // namespace
}  // namespace qtr90x
