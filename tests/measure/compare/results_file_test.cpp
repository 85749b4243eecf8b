// results.json files the tool did not write, read back by compare and --baseline: each
// malformed one is refused with its file, the JSON pointer of its first fault and its status,
// before any page is written, and none crashes; the well-formed run still compares.
#include "measure/compare/compare.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;
using namespace measure;

namespace {

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// The tool's exit status, its output in `log`.
int tool(const std::string& arguments, const fs::path& log) {
    int status =
        std::system((std::string(QUILL_MEASURE_EXE) + " " + arguments + " > " + log.string() + " 2>&1").c_str());
#ifdef _WIN32
    return status;
#else
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

struct Malformed {
    const char* name;
    int status;
    const char* pointer;   // where the message places the first fault
    const char* expected;  // what it says was expected there
};

// The run's results.json with one fault: in the parsed document where JSON can hold it,
// in the text where it cannot.
std::string damaged(const std::string& good, const std::string& name) {
    Json j = Json::parse(good);
    if (name == "name-a-number") j["captures"][0]["name"] = 7;
    if (name == "figure-a-string") j["captures"][1]["edge_rmse"] = "x";
    if (name == "filtering-figure-a-string") j["filtering"]["ring_lod"]["bias"] = "x";
    if (name == "field-missing-deep") j["antialiasing"]["verdicts"][0]["evidence"].erase("tolerance");
    if (name == "capture-field-wrong-type") j["captures"][0]["kind"] = Json::array({1});
    if (name == "unknown-version") j["schema_version"] = 99;
    if (name == "string-too-long") j["notes"][0] = std::string(200000, 'a');
    if (name == "nested-100000") j["filtering"]["deep"] = "@";
    std::string text = j.dump(2);
    if (name == "nested-100000")
        text.replace(text.find("\"@\""), 3, std::string(100000, '[') + std::string(100000, ']'));
    if (name == "not-utf-8") text.insert(text.find("\"renderer\": \"") + 13, "\xff\xfe");
    return text;
}

}  // namespace

TEST(MeasuredInputs, MalformedResultsAreRefusedWithTheirPointerAndStatus) {
    const fs::path dir = std::string(QUILL_MEASURE_OUT) + "-inputs";
    fs::remove_all(dir);
    fs::create_directories(dir);
    ASSERT_EQ(
        tool("--headless --size 64x48 --reference-k 2 --modes msaa --out " + (dir / "good").string(), dir / "good.log"),
        0);
    const std::string good = readText(dir / "good" / "results.json");
    Json results;
    std::string error;
    ASSERT_EQ(readResults(good, "good", results, error), 0) << error;

    const Malformed cases[] = {
        {"name-a-number", kMalformed, "/captures/0/name", "expected a string, found 7"},
        {"figure-a-string", kMalformed, "/captures/1/edge_rmse", "expected a number, found the string \"x\""},
        {"filtering-figure-a-string", kMalformed, "/filtering/ring_lod/bias", "expected a number or null"},
        {"field-missing-deep", kMalformed, "/antialiasing/verdicts/0/evidence", "required field \"tolerance\""},
        {"capture-field-wrong-type", kMalformed, "/captures/0/kind", "expected a string, found an array"},
        {"nested-100000", kMalformed, "/filtering/deep/0/0/0", "nested deeper than 64"},
        {"string-too-long", kMalformed, "/notes/0", "200000 bytes"},
        {"not-utf-8", kForeign, "/renderer", "UTF-8"},
        {"unknown-version", kUnknownVersion, "/schema_version", "99; this quillmere-measure reads version"},
    };
    for (const Malformed& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path bad = dir / c.name / "results.json";
        writeText(bad, damaged(good, c.name));
        EXPECT_EQ(readResults(readText(bad), bad.string(), results, error), c.status);
        EXPECT_NE(error.find(bad.string() + ": " + c.pointer), std::string::npos) << error;
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;

        // The tool itself: the same status and message, and no page.
        const fs::path out = dir / (std::string(c.name) + "-compare");
        EXPECT_EQ(
            tool("compare " + (dir / "good").string() + " " + bad.parent_path().string() + " --out " + out.string(),
                 dir / "compare.log"),
            c.status);
        const std::string said = readText(dir / "compare.log");
        EXPECT_NE(said.find(std::string(c.pointer)), std::string::npos) << said;
        EXPECT_FALSE(fs::exists(out)) << "a page from a refused comparison";
    }

    // A baseline is read before anything is drawn: no report folder appears.
    EXPECT_EQ(tool("--headless --size 64x48 --reference-k 2 --modes msaa --baseline " +
                       (dir / "figure-a-string").string() + " --out " + (dir / "never").string(),
                   dir / "baseline.log"),
              kMalformed);
    EXPECT_NE(readText(dir / "baseline.log").find("--baseline: "), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "never"));

    // The well-formed run still compares, with itself and against expectations.
    writeText(dir / "expect.txt", "msaa-4.effective >= 4\nmsaa-4.edge <= 1.0 * baseline\n");
    EXPECT_EQ(tool("compare " + (dir / "good").string() + " " + (dir / "good").string() + " --expect " +
                       (dir / "expect.txt").string() + " --out " + (dir / "good-compare").string(),
                   dir / "good-compare.log"),
              0)
        << readText(dir / "good-compare.log");
    EXPECT_TRUE(fs::exists(dir / "good-compare" / "index.html"));
}
