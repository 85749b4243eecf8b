// The report's opening sentences, for the page and the terminal.
#pragma once

#include "measure/run/results.h"

#include <string>

namespace measure {

// The window's verdict, what multisampling the driver grants, and what anti-aliasing and
// filtering gain.
std::string summarise(const Results& results);
// The window's verdict in words: the chosen verdict's, or why there is none.
std::string windowVerdictText(const Results& results);

}  // namespace measure
