// The summary: a few sentences from the results, each naming the captures its figures come from.
#include "measure/report/summary.h"

#include "measure/report/presentation_words.h"
#include "measure/report/words.h"

#include <cstdio>
#include <sstream>

namespace measure {

std::string windowVerdictText(const Results& r) {
    const Verdict* v = r.chosenVerdict();
    if (v && r.windowVerdict == WindowVerdict::BackBufferAndPresentation)
        return verdictText(*v) + ", with " + presentationShortText(r.presentation.verdict);
    return v ? verdictText(*v) : "not measured: " + r.windowReason;
}

std::string summarise(const Results& r) {
    std::ostringstream s;
    // What presentation did comes first: it is what the user sees.
    if (const std::string first = presentationSentence(r); !first.empty()) s << first << " ";
    s << "On " << r.renderer << ", ";
    if (r.windowAvailable)
        s << "quillmere's window gets " << windowVerdictText(r) << ". ";
    else
        s << "the window was not measured (" << r.windowReason << "). ";
    // A count of one is no multisampling: softpipe grants it and draws one sample.
    std::vector<const Capture*> multisampled;
    bool msaaMeasured = false;
    for (const Capture& c : r.captures) {
        msaaMeasured = msaaMeasured || c.kind == CaptureKind::Msaa;
        if (c.kind == CaptureKind::Msaa && c.granted > 1) multisampled.push_back(&c);
    }
    if (!r.framebuffers) {
        s << "The driver has no framebuffer objects, so only window and supersampling were measured. ";
    } else if (r.aa.maxSamples <= 1) {
        // Said once: the window's verdict may have named it already.
        const Verdict* window = r.chosenVerdict();
        if (!window || window->cls != AaClass::NoMultisampling)
            s << "The driver has no multisampling (GL_MAX_SAMPLES " << r.aa.maxSamples << "). ";
    } else if (!msaaMeasured) {
        s << "Multisampling was not measured (--modes). ";
    } else if (multisampled.empty()) {
        s << "The driver granted no multisampled framebuffer. ";
    } else {
        s << "The driver grants MSAA with ";
        for (std::size_t i = 0; i < multisampled.size(); ++i) s << (i ? ", " : "") << multisampled[i]->granted;
        s << " samples. ";
    }
    const Capture* none = nullptr;
    const Capture* ssaa = nullptr;
    for (const Capture& c : r.captures) {
        if (c.kind == CaptureKind::Msaa && c.requested == 0) none = &c;
        if (c.kind == CaptureKind::Ssaa) ssaa = &c;
    }
    const Capture* best = multisampled.empty() ? nullptr : multisampled.back();
    char text[256];
    if (none && (best || ssaa)) {
        const Capture* first = best ? best : ssaa;
        std::snprintf(text, sizeof text, "Edge error falls from %.1f without AA to %.1f with %s", none->edgeRmse,
                      first->edgeRmse, first->name.c_str());
        s << text;
        if (best && ssaa) {
            std::snprintf(text, sizeof text, " and %.1f with %s", ssaa->edgeRmse, ssaa->name.c_str());
            s << text;
        }
        s << ". ";
    }
    const Capture* linear = nullptr;
    const Capture* trilinear = nullptr;
    const Capture* aniso = nullptr;
    for (const Capture& c : r.captures) {
        if (c.kind != CaptureKind::Filter) continue;
        if (c.filter.mode == FilterMode::Linear) linear = &c;
        if (c.filter.mode == FilterMode::Trilinear && c.filter.anisotropy == 1) trilinear = &c;
        if (c.filter.anisotropy > 1) aniso = &c;
    }
    if (linear && trilinear) {
        std::snprintf(text, sizeof text,
                      "In the minified centre the program's GL_LINEAR has error %.1f, trilinear mipmapping %.1f",
                      linear->centreRmse, trilinear->centreRmse);
        s << text;
        if (aniso) {
            std::snprintf(text, sizeof text, ", %s %.1f", aniso->name.c_str(), aniso->centreRmse);
            s << text;
        }
        s << ".";
    }
    return s.str();
}

}  // namespace measure
