#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/Compression.h"
#include "beacon/util/Encrypter.h"
#include "beacon/util/InMemoryKeychainStore.h"
#include "beacon/util/KeychainUtil.h"
#include "beacon/util/PropertyValidation.h"

#include <benchmark/benchmark.h>

using namespace beacon;

namespace {

// A transmission target token as common-schema logs carry it.
const std::string kToken = "4f7d8a1c2b3e4d5f6a7b8c9d0e1f2a3b-1c2d3e4f-5a6b-7c8d-9e0f-1a2b3c4d5e6f-7890";

Encrypter& encrypter() {
    static Encrypter* instance = [] {
        KeychainUtil::setStore(std::make_shared<InMemoryKeychainStore>());
        auto defaults = std::make_shared<BeaconUserDefaults>(std::make_shared<platform::UserDefaults>());
        return new Encrypter(defaults, [] { return std::chrono::system_clock::now(); });
    }();
    return *instance;
}

void BM_EncryptToken(benchmark::State& state) {
    auto& e = encrypter();
    for (auto _ : state) benchmark::DoNotOptimize(e.encryptString(kToken));
}
BENCHMARK(BM_EncryptToken);

void BM_DecryptToken(benchmark::State& state) {
    auto& e = encrypter();
    const auto blob = *e.encryptString(kToken);
    for (auto _ : state) benchmark::DoNotOptimize(e.decryptString(blob));
}
BENCHMARK(BM_DecryptToken);

void BM_CompressBody(benchmark::State& state) {
    std::string json;
    while (json.size() < static_cast<std::size_t>(state.range(0)))
        json += R"({"type":"event","name":"panelShown","timestamp":"2026-03-01T10:00:00.000Z","sid":"a1b2"},)";
    json.resize(static_cast<std::size_t>(state.range(0)));
    const Compression::Data body(json.begin(), json.end());
    for (auto _ : state) benchmark::DoNotOptimize(Compression::compressData(body));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_CompressBody)->Arg(1400)->Arg(64 * 1024);

void BM_ValidateProperties(benchmark::State& state) {
    PropertyList properties;
    for (int i = 0; i < 25; ++i) properties.emplace_back("key" + std::to_string(i), std::string(140, 'v'));
    for (auto _ : state) benchmark::DoNotOptimize(validateProperties(properties, "event", "Event"));
}
BENCHMARK(BM_ValidateProperties);

} // namespace
