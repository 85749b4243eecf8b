// The contents list: the report is thousands of pixels tall, the reader wants one section.
#include "measure/report/contents.h"

#include "measure/report/report.h"

#include <sstream>

namespace measure {

// A list first, so that every section is one click from the top of the page.
std::string withContents(const std::vector<PageSection>& sections) {
    std::ostringstream list, body;
    list << "<nav id='contents'><b>Contents</b><ol>";
    for (const PageSection& s : sections) {
        if (s.html.empty()) continue;
        list << "<li><a href='#" << s.id << "'>" << escapeMarkup(s.title) << "</a></li>";
        body << "<section id='" << s.id << "'>\n" << s.html << "</section>\n";
    }
    list << "</ol></nav>\n";
    return list.str() + body.str();
}

}  // namespace measure
