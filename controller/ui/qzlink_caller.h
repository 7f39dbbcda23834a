// The sequence engine's calls, made on the camera link library.
#pragma once

#include "core/library_call.h"

namespace qtr90x {

class QzlinkCaller : public LibraryCaller {
 public:
  int Call(const LibraryCall& call) override;
};

}  // namespace qtr90x
