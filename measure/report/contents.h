// A page's sections under ids of their own, with a contents list that links to each.
#pragma once

#include <string>
#include <vector>

namespace measure {

struct PageSection {
    std::string id;     // the anchor, unique on the page
    std::string title;  // as the contents list names it
    std::string html;   // empty: the page has no such section this time
};

// The contents list, then each section that has a body, wrapped in <section id=...>.
std::string withContents(const std::vector<PageSection>& sections);

}  // namespace measure
