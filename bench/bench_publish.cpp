// SPDX-License-Identifier: GPL-3.0-or-later
// What handing a buffer's state to the MQTT publisher costs the measuring thread, with the
// broker down and with it up, against the formatting alone and against the time one buffer
// lasts (4096 / 11025 s); and how long after a broker's return the states flow again.
//
// Counters: allocs_per_call counts operator new on the calling thread (acw_bench_allocations;
// the publisher's own thread does not add to it; the goal is 0); buffer_ppm is the calling
// thread's CPU time per call over one buffer's duration, in parts per million.
// BM_ReconnectAfterOutage reports, as its manual time, the seconds from the broker accepting
// connections again until a subscriber hears a state (goal: at most 5 s) after an outage of
// ACW_BENCH_OUTAGE_SECONDS (default 12, long enough for the back-off to reach its longest).
#include <benchmark/benchmark.h>

#include <cmath>
#include <future>
#include <thread>

#include "BenchSupport.h"
#include "BrokerFixture.h"
#include "publish/MqttPublisher.h"

namespace {

using namespace std::chrono_literals;
constexpr double kBufferSeconds = 4096.0 / 11025.0;

std::array<acw::StateField, 23> bufferState(double timeS) {
    using acw::StateField;
    std::array<StateField, 23> fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string_view key = acw::kStateKeys[i];
        fields[i] = i == 9 || i == 10
                        ? StateField::label(key, "green")
                        : StateField::value(key, 230.0 + std::sqrt(double(i)) + timeS);
    }
    return fields;
}

// The broker shared by the benchmarks that need one, in a folder of its own.
struct BenchBroker {
    acw::bench::TempFolder folder;
    acw::test::MosquittoBroker broker{folder.path().empty() ? "/nonexistent"
                                                            : folder.path().string()};
};

acw::test::MosquittoBroker& broker() {
    static BenchBroker instance;
    return instance.broker;
}

std::string startPublisher(acw::MqttPublisher& publisher, int port) {
    acw::MqttPublisher::Config config;
    config.url =
        *acw::parseMqttUrl("mqtt://127.0.0.1:" + std::to_string(port) + "/bench/meter", nullptr);
    return publisher.start(config);
}

// allocs_per_call, and buffer_ppm: this thread's CPU time per call over one buffer's duration,
// in parts per million.
void reportPerCall(benchmark::State& state, std::size_t allocated, double cpuSeconds) {
    state.counters["buffer_ppm"] = cpuSeconds / double(state.iterations()) / kBufferSeconds * 1e6;
    state.counters["allocs_per_call"] =
        benchmark::Counter(double(allocated), benchmark::Counter::kAvgIterations);
}

void runPublishState(benchmark::State& state, int port, acw::ConnectionState expected) {
    acw::MqttPublisher publisher;
    if (const std::string error = startPublisher(publisher, port); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (int i = 0; i < 500 && publisher.state() != expected; ++i)
        std::this_thread::sleep_for(20ms);
    if (publisher.state() != expected) {
        state.SkipWithError("the publisher did not reach the expected connection state");
        return;
    }
    const auto fields = bufferState(1.0);
    publisher.publishState(fields);  // the first call may set things up
    const std::size_t before = acw::bench::threadAllocations();
    const double cpu = acw::bench::threadCpuSeconds();
    for (auto _ : state) benchmark::DoNotOptimize(publisher.publishState(fields));
    reportPerCall(state, acw::bench::threadAllocations() - before,
                  acw::bench::threadCpuSeconds() - cpu);
    publisher.stop();
}

void BM_FormatStateJson(benchmark::State& state) {
    const auto fields = bufferState(1.0);
    std::array<char, acw::kStatePayloadCapacity> out;
    const std::size_t before = acw::bench::threadAllocations();
    const double cpu = acw::bench::threadCpuSeconds();
    for (auto _ : state) benchmark::DoNotOptimize(acw::formatStateJson(fields, out));
    reportPerCall(state, acw::bench::threadAllocations() - before,
                  acw::bench::threadCpuSeconds() - cpu);
}
BENCHMARK(BM_FormatStateJson);

void BM_PublishStateBrokerDown(benchmark::State& state) {
    // A port nothing listens on: every attempt is refused at once, and retried.
    runPublishState(state, acw::test::loopbackPort(0), acw::ConnectionState::Connecting);
}
BENCHMARK(BM_PublishStateBrokerDown);

void BM_PublishStateBrokerUp(benchmark::State& state) {
    std::string why;
    if (!broker().start(&why)) return state.SkipWithError(why.c_str());
    runPublishState(state, broker().port(), acw::ConnectionState::Connected);
    broker().stop();
}
BENCHMARK(BM_PublishStateBrokerUp);

void BM_ReconnectAfterOutage(benchmark::State& state) {
    const auto outageSeconds =
        static_cast<int>(acw::bench::positiveFromEnvironment("ACW_BENCH_OUTAGE_SECONDS", 12));
    std::string why;
    for (auto _ : state) {
        if (!broker().start(&why)) return state.SkipWithError(why.c_str());
        acw::MqttPublisher publisher;
        startPublisher(publisher, broker().port());
        for (int i = 0; i < 500 && publisher.state() != acw::ConnectionState::Connected; ++i)
            std::this_thread::sleep_for(20ms);
        broker().stop();
        double timeS = 0.0;
        const auto outageEnd =
            std::chrono::steady_clock::now() + std::chrono::seconds(outageSeconds);
        while (std::chrono::steady_clock::now() < outageEnd) {
            publisher.publishState(bufferState(timeS += kBufferSeconds));
            std::this_thread::sleep_for(100ms);
        }
        if (!broker().start(&why)) return state.SkipWithError(why.c_str());
        const auto back = std::chrono::steady_clock::now();
        auto heard = std::async(std::launch::async, acw::test::subscribe, broker().port(),
                                "bench/meter/state", 1, "%p");
        while (heard.wait_for(20ms) != std::future_status::ready)
            publisher.publishState(bufferState(timeS += kBufferSeconds));
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - back).count();
        if (heard.get().empty()) return state.SkipWithError("no state after the broker's return");
        state.SetIterationTime(seconds);
        state.counters["goal_share"] = seconds / 5.0;
        publisher.stop();
        broker().stop();
    }
}
BENCHMARK(BM_ReconnectAfterOutage)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
