// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace acw {

// One measured buffer, as the power analysis and the engine give it. A reading the analysis had
// no result for is 0. A value that is not finite (NaN, infinity) is taken as 0, so that one bad
// buffer can never poison totals that are kept for weeks.
struct EnergySample {
    double activePowerW = 0;      // signed: > 0 drawn from the mains, < 0 fed back into it
    double reactivePowerVar = 0;  // signed, fundamental (Q1)
    double apparentPowerVa = 0;
    double voltsRms = 0;
    double ampsRms = 0;
    double frequencyHz = 0;
    double powerFactor = 0;
};

// A sum of doubles that keeps what plain addition rounds away (Neumaier's compensated sum): the
// value stays within a couple of units in the last place of the exact sum of its terms, however
// many terms (a month of buffers is 7 million). Both parts are kept for saving, so a restored
// sum goes on exactly as if it had never been saved.
class CompensatedSum {
public:
    void add(double term);
    double value() const { return sum_ + compensation_; }
    double sum() const { return sum_; }
    double compensation() const { return compensation_; }
    static CompensatedSum fromParts(double sum, double compensation);

private:
    double sum_ = 0.0;
    double compensation_ = 0.0;
};

// Mean, minimum and maximum of a reading over the integrated buffers; all 0 before the first.
struct EnergyStatistic {
    double mean = 0;
    double minimum = 0;
    double maximum = 0;
};

// What the integration has gathered since it was last reset.
struct EnergyTotals {
    double wh = 0;        // signed: import - export
    double whImport = 0;  // buffers with P > 0
    double whExport = 0;  // buffers with P < 0, as a positive number
    double varh = 0;      // signed
    double vah = 0;
    double ah = 0;
    double elapsedS = 0;  // integrated time only: buffers * kBufferSeconds
    std::uint64_t buffers = 0;
    std::uint64_t gaps = 0;           // breaks in the integration (each addGap call that counted)
    std::uint64_t missedBuffers = 0;  // buffers known to be lost in those breaks
    bool running = false;
    EnergyStatistic watts, volts, amps, hertz, powerFactor;
};

// Cost of `whImport` watt-hours at `pricePerKwh` (in the user's currency).
inline double importCost(double whImport, double pricePerKwh) {
    return whImport / 1000.0 * pricePerKwh;
}

// Integrates the readings of each measured buffer into energy, charge and statistics. Each buffer
// stands for kBufferSeconds of time; the sums are compensated (CompensatedSum), so 30 days of
// buffers lose nothing measurable to rounding, and the totals are the same whether or not they
// were saved and restored on the way.
//
// The integration has its own Start/Stop, independent of the capture: add() and addGap() count
// only while it is running. Time that was not captured is not counted: while the capture is
// stopped no buffers come, and the integration simply waits. Breaks are counted as gaps so the
// user can see them:
//  - addGap(n) with n > 0: n buffers were lost (dropped by the capture) while running;
//  - addGap(0): the capture (re)started after a break (capture STOP/START, a device that
//    stopped, a restart of the program). It counts only when a buffer was integrated since the
//    last start() (or, for a restored running integrator, before the save), so the caller may
//    call it at every capture start while running: a user's own Stop/Start is no break.
//
// Not thread-safe: one thread (the one that measures) makes all calls. The object is small and
// copyable; totals() and saveText() may be called at any time.
class EnergyIntegrator {
public:
    static constexpr double kBufferSeconds = 4096.0 / 11025.0;

    // Start (or resume) integrating; the totals carry on from where they are.
    void start();
    // Stop integrating; the totals stay.
    void stop();
    // All totals, gaps and statistics back to zero. The running state is kept: a reset while
    // running goes on integrating from zero.
    void reset();
    bool running() const { return running_; }

    // One measured buffer; ignored while stopped.
    void add(const EnergySample& sample);
    // A break in the measured buffers while running (see above); ignored while stopped.
    void addGap(std::uint64_t missedBuffers);

    EnergyTotals totals() const;
    // Cost of the imported energy at `pricePerKwh`.
    double costOfImport(double pricePerKwh) const;

    // The complete state as text: a version line, one line per value (numbers in the shortest
    // form that reads back to the same double), and a final CRC-32 line over everything before
    // it, so that a changed, cut or garbled file is recognised. fromText(saveText()) restores an
    // integrator that behaves exactly as this one, including the running state.
    std::string saveText() const;
    // Reads saveText()'s text. Returns nothing, with a short reason in `problem` (when given;
    // no closing full stop), when the text is damaged, cut short, of an unknown version or holds
    // values that cannot be (non-finite numbers, a minimum above its maximum).
    static std::optional<EnergyIntegrator> fromText(std::string_view text, std::string* problem);

private:
    struct Accumulator {
        CompensatedSum sum;
        double minimum = 0;
        double maximum = 0;
        void add(double value, bool first);
        EnergyStatistic statistic(std::uint64_t count) const;
    };

    bool running_ = false;
    bool integratedSinceStart_ = false;
    std::uint64_t buffers_ = 0;
    std::uint64_t gaps_ = 0;
    std::uint64_t missedBuffers_ = 0;
    CompensatedSum importW_, exportW_, reactiveVar_, apparentVa_;
    Accumulator watts_, volts_, amps_, hertz_, powerFactor_;
};

// CRC-32 (IEEE 802.3, as zlib) of `bytes`.
std::uint32_t crc32(std::string_view bytes);

}  // namespace acw
