// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/EnergyIntegrator.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace acw {

namespace {

// Watt-buffers to watt-hours.
constexpr double kHoursPerBuffer = EnergyIntegrator::kBufferSeconds / 3600.0;

constexpr std::string_view kFirstLine = "acw-energy-totals 1";
constexpr std::string_view kFormatName = "acw-energy-totals";

double finiteOrZero(double value) { return std::isfinite(value) ? value : 0.0; }

constexpr std::array<std::uint32_t, 256> makeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

void appendNumber(std::string& out, double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out += ' ';
    out.append(text, result.ptr);
}

void appendNumber(std::string& out, std::uint64_t value) {
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out += ' ';
    out.append(text, result.ptr);
}

// Splits one line "key value value ..." into words separated by single spaces.
std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t begin = 0;
    while (begin <= line.size()) {
        const std::size_t end = std::min(line.find(' ', begin), line.size());
        out.push_back(line.substr(begin, end - begin));
        begin = end + 1;
    }
    return out;
}

// The line that closes the saved text: "crc32 " and the check sum of `body` in 8 lower-case hex
// digits.
std::string checkLine(std::string_view body);

template <typename Number>
bool parseNumber(std::string_view word, Number& value) {
    const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
    return result.ec == std::errc() && result.ptr == word.data() + word.size();
}

}  // namespace

std::uint32_t crc32(std::string_view bytes) {
    static constexpr auto kTable = makeCrcTable();
    std::uint32_t c = 0xFFFFFFFFU;
    for (const char byte : bytes) {
        c = kTable[(c ^ static_cast<unsigned char>(byte)) & 0xFFU] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFU;
}

void CompensatedSum::add(double term) {
    const double t = sum_ + term;
    if (std::fabs(sum_) >= std::fabs(term)) {
        compensation_ += (sum_ - t) + term;
    } else {
        compensation_ += (term - t) + sum_;
    }
    sum_ = t;
}

namespace {

std::string checkLine(std::string_view body) {
    char line[32];
    std::snprintf(line, sizeof line, "crc32 %08x\n", static_cast<unsigned>(crc32(body)));
    return line;
}

}  // namespace

CompensatedSum CompensatedSum::fromParts(double sum, double compensation) {
    CompensatedSum s;
    s.sum_ = sum;
    s.compensation_ = compensation;
    return s;
}

void EnergyIntegrator::Accumulator::add(double value, bool first) {
    sum.add(value);
    minimum = first ? value : std::min(minimum, value);
    maximum = first ? value : std::max(maximum, value);
}

EnergyStatistic EnergyIntegrator::Accumulator::statistic(std::uint64_t count) const {
    if (count == 0) return {};
    return {sum.value() / static_cast<double>(count), minimum, maximum};
}

void EnergyIntegrator::start() {
    if (running_) return;
    running_ = true;
    integratedSinceStart_ = false;
}

void EnergyIntegrator::stop() { running_ = false; }

void EnergyIntegrator::reset() {
    const bool running = running_;
    *this = EnergyIntegrator{};
    running_ = running;
}

void EnergyIntegrator::add(const EnergySample& sample) {
    if (!running_) return;
    const double watts = finiteOrZero(sample.activePowerW);
    if (watts > 0) importW_.add(watts);
    if (watts < 0) exportW_.add(-watts);
    reactiveVar_.add(finiteOrZero(sample.reactivePowerVar));
    apparentVa_.add(finiteOrZero(sample.apparentPowerVa));
    const bool first = buffers_ == 0;
    watts_.add(watts, first);
    volts_.add(finiteOrZero(sample.voltsRms), first);
    amps_.add(finiteOrZero(sample.ampsRms), first);
    hertz_.add(finiteOrZero(sample.frequencyHz), first);
    powerFactor_.add(finiteOrZero(sample.powerFactor), first);
    ++buffers_;
    integratedSinceStart_ = true;
}

void EnergyIntegrator::addGap(std::uint64_t missedBuffers) {
    if (!running_) return;
    if (missedBuffers == 0 && !integratedSinceStart_) return;
    ++gaps_;
    missedBuffers_ += missedBuffers;
}

EnergyTotals EnergyIntegrator::totals() const {
    EnergyTotals t;
    t.wh = watts_.sum.value() * kHoursPerBuffer;
    t.whImport = importW_.value() * kHoursPerBuffer;
    t.whExport = exportW_.value() * kHoursPerBuffer;
    t.varh = reactiveVar_.value() * kHoursPerBuffer;
    t.vah = apparentVa_.value() * kHoursPerBuffer;
    t.ah = amps_.sum.value() * kHoursPerBuffer;
    t.elapsedS = static_cast<double>(buffers_) * kBufferSeconds;
    t.buffers = buffers_;
    t.gaps = gaps_;
    t.missedBuffers = missedBuffers_;
    t.running = running_;
    t.watts = watts_.statistic(buffers_);
    t.volts = volts_.statistic(buffers_);
    t.amps = amps_.statistic(buffers_);
    t.hertz = hertz_.statistic(buffers_);
    t.powerFactor = powerFactor_.statistic(buffers_);
    return t;
}

double EnergyIntegrator::costOfImport(double pricePerKwh) const {
    return importCost(importW_.value() * kHoursPerBuffer, pricePerKwh);
}

std::string EnergyIntegrator::saveText() const {
    std::string out(kFirstLine);
    out += "\nrunning";
    appendNumber(out, std::uint64_t{running_ ? 1U : 0U});
    const auto counter = [&out](const char* key, std::uint64_t value) {
        out += '\n';
        out += key;
        appendNumber(out, value);
    };
    counter("buffers", buffers_);
    counter("gaps", gaps_);
    counter("missed", missedBuffers_);
    const auto sum = [&out](const char* key, const CompensatedSum& s) {
        out += '\n';
        out += key;
        appendNumber(out, s.sum());
        appendNumber(out, s.compensation());
    };
    sum("import", importW_);
    sum("export", exportW_);
    sum("reactive", reactiveVar_);
    sum("apparent", apparentVa_);
    const auto accumulator = [&](const char* key, const Accumulator& a) {
        sum(key, a.sum);
        appendNumber(out, a.minimum);
        appendNumber(out, a.maximum);
    };
    accumulator("watts", watts_);
    accumulator("volts", volts_);
    accumulator("amps", amps_);
    accumulator("hertz", hertz_);
    accumulator("power-factor", powerFactor_);
    out += '\n';
    out += checkLine(out);
    return out;
}

std::optional<EnergyIntegrator> EnergyIntegrator::fromText(std::string_view text,
                                                           std::string* problem) {
    const auto fail = [problem](std::string why) -> std::optional<EnergyIntegrator> {
        if (problem != nullptr) *problem = std::move(why);
        return std::nullopt;
    };
    if (text.substr(0, kFormatName.size() + 1) != std::string(kFormatName) + " ") {
        return fail("it is not a file of energy totals");
    }
    if (text.substr(0, text.find('\n')) != kFirstLine) {
        return fail("it was written in a format this version does not know (" +
                    std::string(text.substr(0, std::min<std::size_t>(text.find('\n'), 40))) + ")");
    }
    // The check line closes the text, exactly as checkLine() writes it.
    const std::size_t lastLine = text.size() < 2 ? 0 : text.rfind('\n', text.size() - 2) + 1;
    const std::size_t checkAt = lastLine > kFirstLine.size() ? lastLine : text.size();
    if (text.back() != '\n' || text.substr(checkAt, 6) != "crc32 ") {
        return fail("it is cut short (the check line at its end is missing)");
    }
    if (text.substr(checkAt) != checkLine(text.substr(0, checkAt))) {
        return fail("its check sum does not match its content (the file was damaged or changed)");
    }

    // The check sum holds: what follows finds only values this program wrote, or a file that
    // was rewritten by hand with a new check sum.
    std::vector<std::string_view> lines;
    for (std::size_t begin = text.find('\n') + 1; begin < checkAt;) {
        const std::size_t end = text.find('\n', begin);
        lines.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    std::size_t lineIndex = 0;
    std::string bad;
    const auto next = [&](std::string_view key, std::size_t count) {
        std::vector<std::string_view> w;
        if (lineIndex < lines.size()) w = words(lines[lineIndex]);
        ++lineIndex;
        if (w.size() != count + 1 || w[0] != key) {
            if (bad.empty()) bad = "the line \"" + std::string(key) + "\" is missing or malformed";
            w.assign(count + 1, std::string_view("0"));
        }
        w.erase(w.begin());
        return w;
    };
    const auto counter = [&](std::string_view key) {
        std::uint64_t value = 0;
        const auto w = next(key, 1);
        if (!parseNumber(w[0], value) && bad.empty())
            bad = "bad number in \"" + std::string(key) + "\"";
        return value;
    };
    const auto numbers = [&](std::string_view key, std::size_t count) {
        std::vector<double> values(count, 0.0);
        const auto w = next(key, count);
        for (std::size_t i = 0; i < count; ++i) {
            if ((!parseNumber(w[i], values[i]) || !std::isfinite(values[i])) && bad.empty()) {
                bad = "bad number in \"" + std::string(key) + "\"";
            }
        }
        return values;
    };

    EnergyIntegrator e;
    const std::uint64_t running = counter("running");
    e.running_ = running == 1;
    e.buffers_ = counter("buffers");
    e.gaps_ = counter("gaps");
    e.missedBuffers_ = counter("missed");
    const auto sum = [&](std::string_view key, CompensatedSum& s) {
        const auto v = numbers(key, 2);
        s = CompensatedSum::fromParts(v[0], v[1]);
    };
    sum("import", e.importW_);
    sum("export", e.exportW_);
    sum("reactive", e.reactiveVar_);
    sum("apparent", e.apparentVa_);
    const auto accumulator = [&](std::string_view key, Accumulator& a) {
        const auto v = numbers(key, 4);
        a.sum = CompensatedSum::fromParts(v[0], v[1]);
        a.minimum = v[2];
        a.maximum = v[3];
        if (a.minimum > a.maximum && bad.empty()) {
            bad = "the minimum of \"" + std::string(key) + "\" is above its maximum";
        }
    };
    accumulator("watts", e.watts_);
    accumulator("volts", e.volts_);
    accumulator("amps", e.amps_);
    accumulator("hertz", e.hertz_);
    accumulator("power-factor", e.powerFactor_);
    if (running > 1 && bad.empty()) bad = "bad value in \"running\"";
    if (lineIndex != lines.size() && bad.empty()) bad = "it holds lines this version does not know";
    if (!bad.empty()) return fail(bad);
    // A break lies between the last buffer before the save and the first after the restore.
    e.integratedSinceStart_ = e.running_ && e.buffers_ > 0;
    return e;
}

}  // namespace acw
