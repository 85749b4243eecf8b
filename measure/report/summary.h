// The report's opening sentences, for the page and the terminal.
#pragma once

#include "measure/run/results.h"

#include <string>

namespace measure {

// The window's verdict, what multisampling the driver grants, and what anti-aliasing and
// filtering gain.
std::string summarise(const Results& results);

}  // namespace measure
