// A flip comparator without script: two pictures chosen among many, shown one at a time at
// the same place and size, swapped by a click. Radio buttons hold the choices, a checkbox
// which of the two shows, and CSS :checked rules draw the picture they select.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace measure {

// A picture the comparator can show: its group (a run on the comparison page, empty on a
// run's own page), its label, and its file at each spot ("" where it has none).
struct FlipPicture {
    std::string group;
    std::string label;
    std::vector<std::string> files;
};

struct Flip {
    std::string id;                  // unique on its page: the prefix of its inputs' ids
    std::vector<std::string> spots;  // the spots' titles, in the pictures' files' order
    std::vector<FlipPicture> pictures;
    int side = 384;                     // shown width and height, CSS pixels
    std::size_t first = 0, second = 1;  // the two chosen when the page opens
};

// The rules that draw the chosen picture, for the page's <style>.
std::string flipStyle(const Flip& flip);
// The comparator: the choices of spot, A and B, and the picture that flips when clicked.
std::string flipHtml(const Flip& flip);

}  // namespace measure
