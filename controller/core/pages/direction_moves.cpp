#include "core/pages/direction_moves.h"

namespace qtr90x {

namespace {

struct Row {
  int controlId;
  DirectionMove move;
};

constexpr Row kMoves[] = {
    {1006, {MoveKind::kTilt, MoveCall::kPanTilt, 1, 0}},      // U
    {1012, {MoveKind::kTilt, MoveCall::kPanTilt, 2, 0}},      // D
    {1010, {MoveKind::kPan, MoveCall::kPanTilt, 3, 0}},       // R
    {1008, {MoveKind::kPan, MoveCall::kPanTilt, 4, 0}},       // L
    {1007, {MoveKind::kDiagonal, MoveCall::kPanTilt, 5, 0}},  // U&R
    {1013, {MoveKind::kDiagonal, MoveCall::kPanTilt, 6, 0}},  // D&R
    {1005, {MoveKind::kDiagonal, MoveCall::kPanTilt, 7, 0}},  // U&L
    {1011, {MoveKind::kDiagonal, MoveCall::kPanTilt, 8, 0}},  // D&L
    {1018, {MoveKind::kZoom, MoveCall::kZooming, 1, 0}},      // Wide
    {1017, {MoveKind::kZoom, MoveCall::kZooming, 2, 0}},      // Tele
    {1016, {MoveKind::kFocus, MoveCall::kFocusMode, 2, 1}},   // Near
    {1015, {MoveKind::kFocus, MoveCall::kFocusMode, 3, 1}},   // Far
    {1009, {MoveKind::kHome, MoveCall::kNone, 0, 0}},         // Home: its click is the dialog's
};

}  // namespace

std::optional<DirectionMove> FindDirectionMove(int controlId) {
  for (const Row& row : kMoves) {
    if (row.controlId == controlId) {
      return row.move;
    }
  }
  return std::nullopt;
}

}  // namespace qtr90x
