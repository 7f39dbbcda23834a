// The messages between qzlinkd and its line workers survive the trip.
#include "qzlinkd/wire.h"

#include <gtest/gtest.h>

namespace qzlinkd {
namespace {

TEST(Wire, CamerasCommandsAndResultsRoundTrip) {
  qznet::CameraInfo camera;
  camera.id = {2, 3};
  camera.link = qznet::LinkState::NoAnswer;
  camera.model = "QT-R90x";
  camera.power = false;
  camera.presetsStored = 0x105;
  camera.presetNames = {"Stage", "", "Door"};
  camera.panSpeed = 400;
  camera.moving = true;
  const qznet::CameraInfo back = CameraFromJson(*FromLine(ToLine(CameraToJson(camera))));
  EXPECT_EQ(CameraToJson(back), CameraToJson(camera));
  EXPECT_EQ(back.power, std::optional<bool>(false));
  EXPECT_FALSE(back.local.has_value()) << "unknown stays unknown";

  using K = qznet::CameraCommand::Kind;
  for (K kind : {K::Move, K::Stop, K::Home, K::PresetRecall, K::PresetStore, K::Power, K::Mode,
                 K::Raw, K::ReadState}) {
    qznet::CameraCommand command;
    command.kind = kind;
    command.velocity = {0.5, -1, 0.25, 0};
    command.preset = 7;
    command.on = true;
    command.frame = QByteArray::fromHex("FF30310087EF");
    const auto read = CommandFromJson(CommandToJson(command));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->kind, kind);
    EXPECT_EQ(read->velocity, command.velocity);
    EXPECT_EQ(read->frame, command.frame);
    EXPECT_EQ(read->preset, 7);
  }
  EXPECT_FALSE(CommandFromJson(QJsonObject{{"kind", "dance"}}));

  for (int e = 0; e <= int(qznet::CameraError::Failed); ++e) {
    const qznet::CommandResult result{qznet::CameraError(e), "why", QByteArray::fromHex("FE3031")};
    const qznet::CommandResult read = ResultFromJson(ResultToJson(result));
    EXPECT_EQ(read.error, result.error);
    EXPECT_EQ(read.answer, result.answer);
  }
  EXPECT_FALSE(FromLine("[1,2]"));
  EXPECT_FALSE(FromLine("{broken"));
}

}  // namespace
}  // namespace qzlinkd
