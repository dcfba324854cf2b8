#pragma once
#include <string>

namespace folioray {

// A new, empty, uniquely named file (prefix "QZRPAGES", mode 0600, name not guessable)
// in the user's temporary folder ($TMPDIR, else /tmp); "" when none could be made.
std::string NewTempFileName();

}  // namespace folioray
