// Preferences parsing speed: a ten-megabyte JSON document (far larger than any preferences file)
// through the framework's ParseJSON, against Qt's own JSON parser on the same text.
#include "bench/runner.h"
#include "framework/core/dictionary.h"
#include "framework/core/json.h"

#include <QByteArray>
#include <QJsonDocument>

#include <cstdio>
#include <string>

namespace tallybell::bench {

namespace {

constexpr std::size_t kDocumentBytes = 10'000'000;
constexpr int kRuns = 5;
constexpr double kGoalMs = 1000;

std::string document() {
    std::string json = "{";
    for (int i = 0; json.size() < kDocumentBytes; ++i) {
        json += "\"key" + std::to_string(i) + "\":[\"some text \\u00e9\\n\",12345,-1.5e3,true],";
    }
    json.back() = '}';
    return json;
}

/// Parse times of one parser; parse returns whether it gave an object.
template <class Parse> Samples measure(Parse parse, int& failures) {
    Samples samples;
    for (int run = 0; run < kRuns; ++run) {
        const std::int64_t start = NowNs();
        const bool parsed = parse();
        samples.Add(NowNs() - start);
        failures += parsed ? 0 : 1;
    }
    return samples;
}

} // namespace

void RunJsonParse(Bench& bench) {
    std::fprintf(stderr, "json: %d parses of a 10 MB document by each parser\n", kRuns);
    const std::string json = document();
    const fw::Text text(json);
    const QByteArray bytes = QByteArray::fromStdString(json);
    int failures = 0;
    const Samples ours = measure(
        [&] {
            const auto root = fw::ParseJSON(text).ToDictionary();
            return root && root->KeyCount() > 0;
        },
        failures);
    const Samples qt = measure([&] { return QJsonDocument::fromJson(bytes).isObject(); }, failures);
    const double oursMs = ours.PercentileMs(50);
    const double qtMs = qt.PercentileMs(50);
    bench.Add({"ParseJSON, 10 MB (median)", Ms(oursMs), Ms(qtMs) + " (QJsonDocument)",
               Ratio(oursMs, qtMs), "< 1000 ms",
               failures == 0 ? std::optional<bool>(oursMs < kGoalMs) : std::nullopt});
    if (failures != 0) {
        bench.Note("json: " + std::to_string(failures) + " parses gave no object");
    }
}

} // namespace tallybell::bench
