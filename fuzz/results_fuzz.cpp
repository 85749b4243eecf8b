// The results loader on arbitrary bytes: the bounded parse and the schema's checks, and for
// what they accept the comparison page over it, as compare reads a file it did not write.
// Checked on every input:
//   - the status is 0 or one of compare's refusals of a file (12, 13, 15), and a refusal
//     names the file and a JSON pointer ("fuzz.json: /...");
//   - a file that is accepted is accepted again once written back out by the parser, and
//     two runs of it make a comparison page.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <string>
#include <vector>

#include "measure/compare/compare.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.substr(0, 2000).c_str());
    std::abort();
}

// A folder of this process's own for the page.
const std::string& pageFolder() {
    static const std::string dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("quillmere-results-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(d);
        return d.string();
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    measure::Json results;
    std::string error;
    const int status = measure::readResults(text, "fuzz.json", results, error);
    if (status != 0) {
        if (status != measure::kForeign && status != measure::kUnknownVersion && status != measure::kMalformed)
            fail("an unknown status", std::to_string(status));
        if (error.rfind("fuzz.json", 0) != 0) fail("a refusal without the file", error);
        if ((status == measure::kMalformed || status == measure::kUnknownVersion) &&
            error.find(": /") == std::string::npos)
            fail("a refusal without a pointer", error);
        return 0;
    }
    measure::Json again;
    if (measure::readResults(results.dump(), "fuzz.json", again, error) != 0 || again != results)
        fail("accepted, but not once written back", error);
    std::vector<measure::Run> runs(2);
    for (measure::Run& run : runs) {
        run.dir = pageFolder() + "/no-such-run";
        run.results = results;
    }
    if (measure::prepareRuns(runs, error) != 0) fail("one run's size differs from itself", error);
    measure::reportFiles(results);
    if (!measure::writeComparison(runs, {}, pageFolder(), error)) fail("no page", error);
    return 0;
}
