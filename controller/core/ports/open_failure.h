// Why a port could not be opened, in words an operator can act on: the
// informative text under "Failed to open COM%d".
#pragma once

#include <string>

namespace qtr90x {

// From QzGetLastError's code and system code (an errno value with
// ERR_SYSTEM). Empty when there is nothing to add.
std::string OpenFailureReason(int errorCode, int systemCode);

// Why an open line went, from the system code of its failure.
std::string LostLineReason(int systemCode);

}  // namespace qtr90x
