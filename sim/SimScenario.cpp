#include "sim/SimScenario.h"

#include "sim/SimMeter.h"

#include <QFile>
#include <sstream>

namespace sim {

namespace {

bool ParseCount(const std::string& word, int64_t min, int64_t max, int64_t* out)
{
    if (word.empty() || word.size() > 12)
        return false;
    int64_t v = 0;
    for (char c : word) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    if (v < min || v > max)
        return false;
    *out = v;
    return true;
}

struct KeyName {
    const char* name;
    uint8_t op;
};
const KeyName kKeys[] = {
    { "hold", OpHold },
    { "max", OpMax },
    { "rel", OpRel },
    { "peak", OpPeak },
    { "range", OpRange },
    { "normal", OpFirstItem },
};

constexpr int64_t kMaxPauseMs = 24LL * 3600 * 1000;

} // namespace

bool ParseScenario(const std::string& text, Scenario* out, QString* error)
{
    Scenario result;
    std::istringstream lines(text);
    std::string line;
    int lineNo = 0;
    auto fail = [&](const std::string& why) {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(lineNo).arg(QString::fromStdString(why));
        return false;
    };
    while (std::getline(lines, line)) {
        ++lineNo;
        const size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;)
            w.push_back(word);
        if (w.empty())
            continue;

        ScenarioStep step;
        step.line = lineNo;
        const std::string& verb = w[0];
        auto needArgs = [&](size_t n) { return w.size() == n + 1; };
        if (verb == "frame" || verb == "notify" || verb == "marker") {
            // The hex may be spaced into several words.
            std::string hex;
            for (size_t i = 1; i < w.size(); ++i)
                hex += w[i];
            if (hex.empty())
                return fail(verb + " needs hex bytes");
            if (!FromHex(hex, &step.bytes) || step.bytes.empty())
                return fail("not a hex byte string: " + hex);
            step.type = verb == "frame" ? ScenarioStep::Frame
                : verb == "notify"      ? ScenarioStep::Notify
                                        : ScenarioStep::Marker;
            if (step.type != ScenarioStep::Frame && step.bytes.size() > size_t(kMaxNotifyBytes))
                return fail(verb + " holds at most 20 bytes");
            if (step.type == ScenarioStep::Frame && step.bytes.size() > 1024)
                return fail("frame longer than 1024 bytes");
        } else if (verb == "pause") {
            step.type = ScenarioStep::Pause;
            if (!needArgs(1) || !ParseCount(w[1], 0, kMaxPauseMs, &step.number))
                return fail("pause needs a time in milliseconds");
        } else if (verb == "live") {
            step.type = ScenarioStep::Live;
            if (!needArgs(1) || (w[1] != "on" && w[1] != "off"))
                return fail("live needs on or off");
            step.number = w[1] == "on";
        } else if (verb == "osc") {
            step.type = ScenarioStep::Osc;
            if (!needArgs(1) || (w[1] != "on" && w[1] != "off"))
                return fail("osc needs on or off");
            step.number = w[1] == "on";
        } else if (verb == "function") {
            step.type = ScenarioStep::Function;
            if (!needArgs(1) || !FindMeterFunction(w[1]))
                return fail("unknown function" + (w.size() > 1 ? " " + w[1] : std::string()));
            step.text = w[1];
        } else if (verb == "key") {
            step.type = ScenarioStep::Key;
            if (!needArgs(1))
                return fail("key needs a key name");
            bool found = false;
            for (const KeyName& k : kKeys) {
                if (w[1] == k.name) {
                    step.number = k.op;
                    found = true;
                }
            }
            if (!found)
                return fail("unknown key " + w[1]);
        } else if (verb == "store") {
            step.type = ScenarioStep::Store;
            if (!needArgs(1) || !ParseCount(w[1], 0, 10000, &step.number))
                return fail("store needs a count");
        } else if (verb == "store-all") {
            step.type = ScenarioStep::StoreAll;
            if (!needArgs(0))
                return fail("store-all takes no argument");
        } else if (verb == "loop") {
            step.type = ScenarioStep::Loop;
            if (!needArgs(0))
                return fail("loop takes no argument");
        } else if (verb == "fault") {
            step.type = ScenarioStep::Fault;
            if (w.size() < 2)
                return fail("fault needs a kind");
            const std::string& kind = w[1];
            if (kind == "drop-link") {
                step.fault = ScenarioStep::FaultDropLink;
                if (w.size() != 2)
                    return fail("drop-link takes no argument");
            } else {
                int64_t min = 1, max = 4096;
                if (kind == "garbage") {
                    step.fault = ScenarioStep::FaultGarbage;
                } else if (kind == "silence") {
                    step.fault = ScenarioStep::FaultSilence;
                    max = kMaxPauseMs;
                } else if (kind == "split") {
                    step.fault = ScenarioStep::FaultSplit;
                    max = 255;
                } else if (kind == "drop-bytes") {
                    step.fault = ScenarioStep::FaultDropBytes;
                    max = 255;
                } else {
                    return fail("unknown fault " + kind);
                }
                if (w.size() != 3 || !ParseCount(w[2], min, max, &step.number))
                    return fail("fault " + kind + " needs a number");
            }
        } else {
            return fail("unknown step " + verb);
        }
        result.steps.push_back(std::move(step));
    }
    *out = std::move(result);
    return true;
}

bool LoadScenarioFile(const QString& path, Scenario* out, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray text = file.readAll();
    QString why;
    if (!ParseScenario(text.toStdString(), out, &why)) {
        if (error)
            *error = path + QLatin1Char(':') + why;
        return false;
    }
    return true;
}

} // namespace sim
