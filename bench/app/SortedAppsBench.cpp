// sortedApps() is recomputed on every read (each selection step, each view
// refresh); this measures one read of a list of 100 applications.
#include "app/core/AppList.h"
#include "app/core/Preferences.h"

#include "platform/headless/HeadlessWorkspace.h"
#include "platform/headless/ManualScheduler.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

struct Fixture {
    platform::ManualScheduler scheduler;
    platform::HeadlessWorkspace workspace;
    platform::NotificationCenter center;
    platform::UserDefaults defaults;
    std::unique_ptr<app::AppList> list;

    Fixture(int count, app::SortingCriterion criterion) {
        defaults.set(app::kSortingCriterion, static_cast<std::int64_t>(criterion));
        std::mt19937 random(42);
        std::vector<platform::HeadlessApplicationPtr> apps;
        for (int i = 0; i < count; ++i) {
            platform::HeadlessApplication::Facts f;
            f.pid = 1000 + i;
            // Names in shuffled order with mixed case and shared prefixes.
            std::string name = (random() % 2 ? "App " : "app ") + std::to_string(random() % 1000);
            f.localizedName = name;
            f.bundleIdentifier = "org.example.app" + std::to_string(i);
            apps.push_back(workspace.addExisting(f));
        }
        list =
            std::make_unique<app::AppList>(app::AppList::Environment{workspace, center, defaults, scheduler, "zelvo"});
        // Three quarters activated at distinct times, in shuffled order.
        std::shuffle(apps.begin(), apps.end(), random);
        for (int i = 0; i < count * 3 / 4; ++i) {
            scheduler.advance(platform::Seconds(1));
            workspace.activate(apps[i]);
        }
    }
};

void sortedApps(benchmark::State& state, app::SortingCriterion criterion) {
    Fixture fixture(static_cast<int>(state.range(0)), criterion);
    for (auto _ : state) {
        auto sorted = fixture.list->sortedApps();
        benchmark::DoNotOptimize(sorted.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SortedAppsByName(benchmark::State& state) { sortedApps(state, app::SortingCriterion::byName); }
void BM_SortedAppsByActivationTime(benchmark::State& state) {
    sortedApps(state, app::SortingCriterion::byActivationTime);
}

// One key press of type-to-filter: the filter set and the rows shown read
// once, as the panel does per letter.
void BM_FilterKeyPress(benchmark::State& state) {
    Fixture fixture(static_cast<int>(state.range(0)), app::SortingCriterion::byName);
    const char* filters[] = {"a", "ap", "app", "p1", "x"};
    std::size_t i = 0;
    for (auto _ : state) {
        fixture.list->setFilter(filters[i++ % 5]);
        auto shown = fixture.list->shownApps();
        benchmark::DoNotOptimize(shown.data());
    }
}

} // namespace

BENCHMARK(BM_FilterKeyPress)->Arg(40);
BENCHMARK(BM_SortedAppsByName)->Arg(100);
BENCHMARK(BM_SortedAppsByActivationTime)->Arg(100);
