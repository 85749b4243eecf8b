// The report's edge: one rendering of a figure that is not finite, and the files a folder
// holds as compare derives them from results.json, for the conditions a real run on one
// driver does not all meet.
#include "measure/compare/compare.h"
#include "measure/report/contents.h"
#include "measure/report/flip.h"
#include "measure/report/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace measure;

TEST(ReportNumbers, NotFiniteIsOneDashAndNull) {
    const double infinity = std::numeric_limits<double>::infinity(), nan = std::nan("");
    for (double v : {infinity, -infinity, nan}) {
        EXPECT_EQ(formatFigure(v, 2), kNoFigure);
        EXPECT_TRUE(jsonFigure(v).is_null());
    }
    EXPECT_EQ(formatFigure(2.005, 2), "2.00");  // printf's rounding of the stored double
    EXPECT_EQ(formatFigure(-0.5, 0), "-0");
    EXPECT_EQ(jsonFigure(1.25).get<double>(), 1.25);
}

TEST(ReportFiles, WhatAFolderHoldsFollowsItsResults) {
    Json results = Json::parse(R"({
        "captures": [{"name": "msaa-4", "kind": "msaa"}],
        "antialiasing": {"sample_positions": [{"target": "msaa-4"}]},
        "filtering": {"measured": false},
        "presented": {"captured": true, "compared": true},
        "motion": {}
    })");
    std::set<std::string> files = reportFiles(results);
    for (const char* f : {"results.json", "index.html", "reference.png", "crop-reference-tip.png", "msaa-4.png",
                          "diff-msaa-4.png", "crop-msaa-4-caption.png", "samplepos-msaa-4.svg", "error-vs-samples.svg",
                          "lod-error-vs-angle.svg", "blend-vs-frac.svg"})
        EXPECT_TRUE(files.count(f)) << f;
    // Filtering not measured: no ring pictures. No window capture: the presented picture is
    // not written beside it. No motion modes: no motion files.
    for (const char* f : {"lod-ring-driver.png", "presented.png", "diff-presented-window.png", "motion-temporal.svg",
                          "motion-crop-reference.png"})
        EXPECT_FALSE(files.count(f)) << f;
    EXPECT_EQ(files.size(), 15u);

    results["captures"].push_back({{"name", "window"}, {"kind", "window"}});
    results["filtering"]["measured"] = true;
    results["motion"]["modes"] = Json::array({{{"name", "msaa-4"}}});
    files = reportFiles(results);
    for (const char* f :
         {"window.png", "lod-ring-driver.png", "lod-ring-model.png", "presented.png", "diff-presented-window.png",
          "motion-temporal.svg", "motion-crop-reference.png", "motion-profile-msaa-4.png"})
        EXPECT_TRUE(files.count(f)) << f;
}

// Run folders and driver names reach the comparator's labels; a crop a run lacks is no picture.
TEST(ReportFlip, NamesAreEscapedAndAMissingCropIsNoImage) {
    Flip f;
    f.id = "flip";
    f.spots = {"tip", "caption"};
    f.pictures = {{"run'<1>", "reference", {"r0-tip.png", "r0-caption.png"}}, {"run 2", "msaa-4", {"r1-tip.png", ""}}};
    const std::string html = flipHtml(f);
    EXPECT_EQ(html.find("run'<1>"), std::string::npos);
    EXPECT_NE(html.find("run&#39;&lt;1&gt;:"), std::string::npos);
    EXPECT_NE(html.find("src='r1-tip.png'"), std::string::npos);
    EXPECT_EQ(html.find("src=''"), std::string::npos);
    EXPECT_NE(html.find("flip-p1-s1'><span class='flip-none'>not measured"), std::string::npos);
    // Every picture at every spot has the rule that draws it, as A and as B.
    const std::string style = flipStyle(f);
    for (const char* box : {"flip-p0-s0", "flip-p0-s1", "flip-p1-s0", "flip-p1-s1"})
        EXPECT_NE(style.find(std::string(box) + "{display:block}"), std::string::npos) << box;
}

TEST(ReportContents, ListsTheSectionsThatHaveABodyInOrder) {
    const std::string page =
        withContents({{"a", "First & one", "<h2>A</h2>"}, {"b", "Empty", ""}, {"c", "Third", "<p>C</p>"}});
    EXPECT_EQ(page.find("#b"), std::string::npos);
    EXPECT_EQ(page.find("id='b'"), std::string::npos);
    EXPECT_NE(page.find("First &amp; one"), std::string::npos);
    EXPECT_LT(page.find("href='#a'"), page.find("href='#c'"));
    EXPECT_LT(page.find("</nav>"), page.find("<section id='a'>"));
    EXPECT_LT(page.find("<section id='a'>\n<h2>A</h2></section>"), page.find("<section id='c'>"));
}
