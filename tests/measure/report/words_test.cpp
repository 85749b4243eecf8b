// The words written at the report's edge: every outcome has its own, and a sentence reads
// the values that decide it (the samples the format reports, a filter's alternatives, the
// modes the drift redrew) rather than anything the measurement wrote.
#include "measure/report/words.h"

#include <gtest/gtest.h>

#include <set>

using namespace measure;

namespace {

// Words for each of `values`, none empty and no two alike.
template <typename E, typename F>
void distinctWords(std::initializer_list<E> values, F words) {
    std::set<std::string> seen;
    for (E e : values) {
        const std::string w = words(e);
        EXPECT_FALSE(w.empty()) << (int)e;
        EXPECT_TRUE(seen.insert(w).second) << (int)e << ": " << w;
    }
}

}  // namespace

TEST(ReportWords, EveryOutcomeHasWordsOfItsOwn) {
    const auto classes = {
        AaClass::None,       AaClass::NoMultisampling, AaClass::NotDelivered,      AaClass::Msaa,
        AaClass::MsaaLinear, AaClass::Supersampling,   AaClass::MsaaSupersampling, AaClass::PostFilter,
        AaClass::Unmodelled};
    distinctWords(classes, [](AaClass c) { return std::string(className(c)); });
    distinctWords(classes, [](AaClass c) {
        Verdict v;
        v.cls = c;
        v.samples = 4;
        v.distances.resize(1);
        return verdictText(v);
    });
    distinctWords(
        {RingOutcome::NotDecoded, RingOutcome::WithinRules, RingOutcome::QualityWarning, RingOutcome::OutsideRules},
        ringText);
    distinctWords({FilteringGap::NoFramebuffers, FilteringGap::NoProbeTarget, FilteringGap::GlError}, filteringGapText);
    distinctWords({AnisoOutcome::Ignored, AnisoOutcome::Honoured, AnisoOutcome::SharperLevel, AnisoOutcome::Aliases,
                   AnisoOutcome::Short},
                  [](AnisoOutcome o) {
                      AnisoRow row;
                      row.outcome = o;
                      return anisoRowText(row);
                  });
    Filtering f;
    f.probed = true;
    f.aniso.resize(2);
    distinctWords({AnisoSummary::Unsupported, AnisoSummary::Ignored, AnisoSummary::Honoured,
                   AnisoSummary::SharpenedAliases, AnisoSummary::SomeIgnored, AnisoSummary::NotAsRequested},
                  [&](AnisoSummary s) {
                      f.anisoSummary = s;
                      return anisoSummaryText(f);
                  });
    distinctWords(
        {BiasOutcome::Honoured, BiasOutcome::NegativeClamped, BiasOutcome::NegativeOther, BiasOutcome::NotHonoured},
        [&](BiasOutcome b) {
            f.bias = b;
            return biasText(f);
        });
    distinctWords({DeliveredFilter::NotJudgedModelSize, DeliveredFilter::NotJudgedTargetSize, DeliveredFilter::Linear,
                   DeliveredFilter::Nearest, DeliveredFilter::DriverSetting, DeliveredFilter::Unknown},
                  [](DeliveredFilter d) {
                      ProgramCheck c;
                      c.delivered = d;
                      c.settings = {"trilinear"};
                      return programVerdict(c);
                  });
    distinctWords({PositionsCheck::NotMeasured, PositionsCheck::NotReported, PositionsCheck::Differ},
                  [](PositionsCheck c) {
                      SamplePositions s;
                      s.check = c;
                      return positionsNote(s);
                  });
    distinctWords({SamplesRequest::NotRead, SamplesRequest::NotSet, SamplesRequest::Invalid, SamplesRequest::Set},
                  [](SamplesRequest r) {
                      WindowFormat w;
                      w.request = r;
                      w.requestText = "4";
                      return samplesRequestText(w);
                  });
    // Judgements the probe tiles never made have no words.
    f.probed = false;
    EXPECT_EQ(anisoSummaryText(f) + biasText(f) + roundingText(f) + trilinearText(f) + angleRuleText(f), "");
}

TEST(ReportWords, SentencesFollowTheValuesThatDecideThem) {
    // The format's count is named where the picture shows another, but not for a filter.
    Verdict v;
    v.cls = AaClass::Msaa;
    v.samples = 4;
    v.formatSamples = 8;
    EXPECT_EQ(verdictText(v), "4-sample MSAA (stored-value resolve) though the format reports 8");
    v.formatSamples = 4;
    EXPECT_EQ(verdictText(v), "4-sample MSAA (stored-value resolve)");
    v.cls = AaClass::PostFilter;
    v.closest = "box 2x2";
    v.formatSamples = 8;
    EXPECT_EQ(verdictText(v), "a post-process filter (box 2x2), not samples");

    // Every driver setting that gives the picture, in the order they were tried.
    ProgramCheck c;
    c.delivered = DeliveredFilter::DriverSetting;
    c.settings = {"trilinear", "GL_LINEAR with anisotropy 2"};
    EXPECT_EQ(deliveredText(c), "trilinear or GL_LINEAR with anisotropy 2");

    // The drift's sentence finds its modes by their still captures, not by their names.
    std::vector<Capture> captures(3);
    captures[0].kind = CaptureKind::Msaa;
    captures[0].requested = 0;
    captures[1].kind = CaptureKind::Msaa;
    captures[1].requested = 4;
    captures[2].kind = CaptureKind::Ssaa;
    captures[2].gridSide = 4;
    MotionResults m;
    m.modes.resize(3);
    for (std::size_t i = 0; i < 3; ++i) {
        m.modes[i].name = "renamed";
        m.modes[i].capture = i;
        m.modes[i].kind = i == 2 ? MotionKind::Ssaa : MotionKind::Msaa;
        m.modes[i].edge = 4.0 / (double)(i + 1);
    }
    m.modes[1].samples = 4;
    EXPECT_EQ(motionSentence(m, captures),
              "In motion, 4-sample MSAA cuts edge shimmer to 50 % of one sample's and 4x4 supersampling to 33 %.");
    captures[2].gridSide = 2;
    EXPECT_EQ(motionSentence(m, captures), "In motion, 4-sample MSAA cuts edge shimmer to 50 % of one sample's.");
}
