// The application's string table: every text shown to the operator.
#pragma once

namespace qtr90x {

// Text of a string id (UTF-8); an empty text for an unknown id.
const char* LoadString(int id);

}  // namespace qtr90x
