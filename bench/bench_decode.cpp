// Cost of decoding one input report and building its text, as the reader
// does for every report under the status lock.

#include "device/ReportProtocol.h"

#include <benchmark/benchmark.h>

namespace {

void DecodeOne(benchmark::State& state) {
    const uint8_t type = static_cast<uint8_t>(state.range(0));
    DeviceStatus source;
    source.KeystrokeCount = 4242;
    const protocol::Report report = protocol::EncodeInputReport(type, source);
    DeviceStatus status;
    for (auto _ : state) {
        std::string text = protocol::ReportText(report.data());
        benchmark::DoNotOptimize(protocol::DecodeInputReport(report.data(), status));
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(DecodeOne)->Arg(1)->Arg(2)->Arg(4);

} // namespace

BENCHMARK_MAIN();
