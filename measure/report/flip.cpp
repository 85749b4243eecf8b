// The flip comparator: the eye finds a difference between two pictures far more easily when
// one replaces the other in place than when they stand side by side.
#include "measure/report/flip.h"

#include "measure/report/report.h"

#include <sstream>

namespace measure {
namespace {

// An input's id: the flip's prefix, which choice (s spot, a first, b second), the index.
std::string inputId(const Flip& f, char choice, std::size_t n) { return f.id + "-" + choice + std::to_string(n); }

// The class of a picture's box at a spot.
std::string pictureClass(const Flip& f, std::size_t picture, std::size_t spot) {
    return f.id + "-p" + std::to_string(picture) + "-s" + std::to_string(spot);
}

// One row of choices, grouped by run, each label for its radio button.
void choiceRow(std::ostringstream& h, const Flip& f, char choice, const char* title) {
    h << "<p><b>" << title << "</b> ";
    for (std::size_t i = 0; i < f.pictures.size(); ++i) {
        const FlipPicture& p = f.pictures[i];
        if (!p.group.empty() && (i == 0 || f.pictures[i - 1].group != p.group))
            h << (i ? "<br><b></b>" : "") << "<span class='flip-group'>" << escapeMarkup(p.group) << ":</span> ";
        h << "<label for='" << inputId(f, choice, i) << "'>" << escapeMarkup(p.label) << "</label>";
    }
    h << "</p>\n";
}

}  // namespace

// A box shows when its spot is chosen and its picture is the one of the two now flipped to;
// the checked labels are marked so that the choices can be read off the page.
std::string flipStyle(const Flip& f) {
    std::ostringstream s;
    const std::string show = "#" + f.id + "-show";
    s << "#" << f.id << " input{position:absolute;opacity:0;width:1px;height:1px;margin:0}"
      << "#" << f.id << " .flip-controls label{display:inline-block;border:1px solid #999;border-radius:3px;"
      << "padding:1px 6px;margin:2px;cursor:pointer;font-size:13px}"
      << "#" << f.id << " .flip-group{display:inline-block;min-width:90px;font-size:13px}"
      << "#" << f.id << " .flip-controls b{display:inline-block;min-width:44px}"
      << "#" << f.id << " .flip-stage{display:inline-block;cursor:pointer;user-select:none}"
      << "#" << f.id << " .flip-pic{display:none}"
      << "#" << f.id << " .flip-pic img{image-rendering:pixelated;border:1px solid #999;width:" << f.side
      << "px;height:" << f.side << "px}"
      << "#" << f.id << " .flip-none{width:" << f.side << "px;height:" << f.side
      << "px;border:1px dashed #999;display:flex;align-items:center;justify-content:center}"
      << "#" << f.id << " .flip-now{font-size:15px;font-weight:bold}"
      << "#" << f.id << " .flip-b{display:none}" << show << ":checked~.flip-stage .flip-a{display:none}" << show
      << ":checked~.flip-stage .flip-b{display:inline}" << show
      << ":focus-visible~.flip-stage{outline:2px solid #36c}\n";
    std::string chosen;
    auto mark = [&](char choice, std::size_t n) {
        const std::string id = inputId(f, choice, n);
        chosen += (chosen.empty() ? "#" : ",#") + id + ":checked~.flip-controls label[for='" + id + "']";
    };
    for (std::size_t j = 0; j < f.spots.size(); ++j) mark('s', j);
    for (std::size_t i = 0; i < f.pictures.size(); ++i) mark('a', i), mark('b', i);
    s << chosen << "{background:#36c;color:#fff;border-color:#36c}\n";
    for (std::size_t i = 0; i < f.pictures.size(); ++i)
        for (std::size_t j = 0; j < f.spots.size(); ++j) {
            const std::string spot = "#" + inputId(f, 's', j) + ":checked~";
            const std::string box = "~.flip-stage ." + pictureClass(f, i, j);
            s << spot << "#" << inputId(f, 'a', i) << ":checked~" << show << ":not(:checked)" << box << "," << spot
              << "#" << inputId(f, 'b', i) << ":checked~" << show << ":checked" << box << "{display:block}\n";
        }
    return s.str();
}

// The inputs come first, siblings of the controls and the stage, since a rule can only look
// forward from a checked input; the stage is a label for the checkbox, so one click flips.
std::string flipHtml(const Flip& f) {
    std::ostringstream h;
    h << "<div class='flip' id='" << f.id << "'>\n";
    auto radios = [&](char choice, std::size_t count, std::size_t checked) {
        for (std::size_t n = 0; n < count; ++n)
            h << "<input type='radio' name='" << f.id << "-" << choice << "' id='" << inputId(f, choice, n) << "'"
              << (n == checked ? " checked" : "") << ">";
    };
    radios('s', f.spots.size(), 0);
    radios('a', f.pictures.size(), f.first);
    radios('b', f.pictures.size(), f.second);
    h << "<input type='checkbox' id='" << f.id << "-show'>\n<div class='flip-controls'>\n<p><b>Spot</b> ";
    for (std::size_t j = 0; j < f.spots.size(); ++j)
        h << "<label for='" << inputId(f, 's', j) << "'>" << escapeMarkup(f.spots[j]) << "</label>";
    h << "</p>\n";
    choiceRow(h, f, 'a', "A");
    choiceRow(h, f, 'b', "B");
    h << "</div>\n<label class='flip-stage' for='" << f.id << "-show' title='click to flip between A and B'>"
      << "<span class='flip-now'><span class='flip-a'>A</span><span class='flip-b'>B</span> &middot; click the "
         "picture to flip</span>\n";
    for (std::size_t i = 0; i < f.pictures.size(); ++i)
        for (std::size_t j = 0; j < f.spots.size(); ++j) {
            const FlipPicture& p = f.pictures[i];
            const std::string name = escapeMarkup((p.group.empty() ? "" : p.group + ": ") + p.label);
            h << "<span class='flip-pic " << pictureClass(f, i, j) << "'>";
            if (j < p.files.size() && !p.files[j].empty())
                h << "<img src='" << escapeMarkup(p.files[j]) << "' width='" << f.side << "' height='" << f.side
                  << "' alt='" << name << " at the " << escapeMarkup(f.spots[j]) << "'>";
            else
                h << "<span class='flip-none'>not measured</span>";
            h << "<br>" << name << "</span>\n";
        }
    h << "</label>\n</div>\n";
    return h.str();
}

}  // namespace measure
