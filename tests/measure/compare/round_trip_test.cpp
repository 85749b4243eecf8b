// The report's files against compare's knowledge of them, over a real run with a window,
// the presented picture and motion: compare knows every file the report wrote, finds every
// file it knows, and its page over the run misses no picture or crop.
#include "measure/compare/compare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;
using namespace measure;

namespace {

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += " " + n;
    return out;
}

}  // namespace

TEST(Measured, CompareKnowsEveryReportFile) {
    const std::string dir = std::string(QUILL_MEASURE_OUT) + "-round-trip";
    fs::remove_all(dir);
    fs::remove_all(dir + "-compare");
    const std::string command = std::string(QUILL_MEASURE_EXE) +
                                " --size 240x180 --reference-k 4 --motion --motion-steps 2 --motion-k 2 --out " + dir +
                                " > " + dir + ".log 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << "see " << dir << ".log";

    std::vector<measure::Run> runs(2);
    std::string error;
    ASSERT_EQ(loadRun(dir, runs[0], error), 0) << error;
    ASSERT_EQ(loadRun(dir, runs[1], error), 0) << error;
    std::set<std::string> written;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) written.insert(e.path().filename().string());
    const std::set<std::string> known = reportFiles(runs[0].results);
    std::vector<std::string> unknown, missing;
    std::set_difference(written.begin(), written.end(), known.begin(), known.end(), std::back_inserter(unknown));
    std::set_difference(known.begin(), known.end(), written.begin(), written.end(), std::back_inserter(missing));
    EXPECT_TRUE(unknown.empty()) << "written, unknown to compare:" << joined(unknown);
    EXPECT_TRUE(missing.empty()) << "known to compare, not written:" << joined(missing);
    // Each kind of file was made: the presented picture wherever the program beside the tool
    // was captured (a build of the tool alone has none).
    for (const char* file : {"motion-temporal.svg", "crop-msaa-4-tip.png", "samplepos-msaa-4.svg"})
        EXPECT_TRUE(written.count(file)) << file;
    if (runs[0].results["presented"].value("captured", false)) {
        EXPECT_TRUE(written.count("presented.png"));
    }

    ASSERT_EQ(prepareRuns(runs, error), 0) << error;
    ASSERT_TRUE(writeComparison(runs, {}, dir + "-compare", error)) << error;
    std::ifstream page(dir + "-compare/index.html");
    std::stringstream text;
    text << page.rdbuf();
    EXPECT_EQ(text.str().find("not measured</div>"), std::string::npos) << "a crop compare did not find";
    EXPECT_EQ(text.str().find("not in both runs"), std::string::npos) << "a picture compare did not find";
    EXPECT_NE(text.str().find("between-msaa-4-r0-r1.png"), std::string::npos);
}
