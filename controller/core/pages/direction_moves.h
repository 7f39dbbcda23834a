// What each press-and-hold button of the pan/tilt pad, zoom and focus sends.
#pragma once

#include <optional>

namespace qtr90x {

enum class MoveKind { kPan = 0, kTilt = 1, kDiagonal = 2, kZoom = 3, kFocus = 4, kHome = 5 };

// Which library call starts and stops the move.
enum class MoveCall { kNone, kPanTilt, kZooming, kFocusMode };

struct DirectionMove {
  MoveKind kind;
  MoveCall call;
  int startCode;
  int stopCode;
};

// The move of a button by control id; nullopt for an id that is no
// direction button.
std::optional<DirectionMove> FindDirectionMove(int controlId);

// Right-button inching (slow speed first) exists for pan, tilt, diagonal and
// zoom buttons only.
inline bool AllowsInching(MoveKind kind) {
  return kind == MoveKind::kPan || kind == MoveKind::kTilt || kind == MoveKind::kDiagonal ||
         kind == MoveKind::kZoom;
}

}  // namespace qtr90x
