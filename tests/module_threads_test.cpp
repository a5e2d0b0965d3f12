// The module's counts under many threads at once, as a free-threaded host drives separate
// objects while another thread asks whether the module may be unloaded. Run under
// ThreadSanitizer (the tsan preset) it also proves the counts are touched only atomically.
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "sizing/object_count.h"
#include "module/class_factory.h"
#include "module/exports.h"
#include "module/module_state.h"
#include "sizing/separator_sizing.h"

namespace kestrol {
namespace {

constexpr int kWorkers = 8;
constexpr int kRoundsPerWorker = 200;

void SetFeed(ISeparatorSizing& object) {
    object.SetLightLiquidDensity(780.0);
    object.SetLightLiquidMassFlow(8000.0);
    object.SetHeavyLiquidDensity(1010.0);
    object.SetHeavyLiquidMassFlow(3000.0);
    object.SetVapourDensity(12.0);
    object.SetVapourMassFlow(5000.0);
    object.SetPressure(2500.0);
    object.SetTemperature(30.0);
    object.SetAuxiliaryValue1(1.0);
}

// One object from the exports, sized; its total cost (slot 38), or NaN when a step failed.
double SizeThroughTheExports(int orientation) {
    void* out = nullptr;
    if (DllGetClassObject(CLSID_SeparatorSizing, IID_IClassFactory, &out) != S_OK) return std::nan("");
    auto* factory = static_cast<IClassFactory*>(out);
    out = nullptr;
    const HRESULT created = factory->CreateInstance(nullptr, IID_ISeparatorSizing, &out);
    factory->Release();
    if (created != S_OK) return std::nan("");
    auto* object = static_cast<ISeparatorSizing*>(out);
    SetFeed(*object);
    object->SetOrientation(orientation);
    const double cost = object->Calculate(0) == S_OK ? object->GetValue(38) : std::nan("");
    object->Release();
    return cost;
}

TEST(ModuleThreadsTest, CountsReturnToZeroAndUnloadIsNeverAllowedWhileAnObjectLives) {
    ASSERT_EQ(LiveObjectCount(), 0);
    const double expected[2] = {SizeThroughTheExports(0), SizeThroughTheExports(1)};
    ASSERT_GT(expected[0], 0.0);
    ASSERT_GT(expected[1], 0.0);

    void* out = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_SeparatorSizing, IID_IClassFactory, &out), S_OK);
    auto* factory = static_cast<IClassFactory*>(out);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ISeparatorSizing, &out), S_OK);
    auto* shared = static_cast<ISeparatorSizing*>(out);  // passed among the workers
    factory->Release();

    std::atomic<bool> stop{false};
    std::atomic<int> unloadAllowed{0};
    std::atomic<int> polls{0};
    std::thread poller([&] {
        do {
            if (DllCanUnloadNow() == S_OK) ++unloadAllowed;
            ++polls;
        } while (!stop.load());
    });

    std::atomic<int> wrongResults{0};
    std::atomic<int> wrongCounts{0};
    std::vector<std::thread> workers;
    for (int worker = 0; worker < kWorkers; ++worker) {
        workers.emplace_back([&, worker] {
            for (int round = 0; round < kRoundsPerWorker; ++round) {
                const int orientation = (worker + round) % 2;
                const double cost = SizeThroughTheExports(orientation);
                if (std::memcmp(&cost, &expected[orientation], sizeof cost) != 0) ++wrongResults;

                // The shared object: another reference, asked for its identity, and let go.
                shared->AddRef();
                void* unknown = nullptr;
                if (shared->QueryInterface(IID_IUnknown, &unknown) != S_OK || unknown != shared) ++wrongCounts;
                else static_cast<IUnknown*>(unknown)->Release();
                if (shared->Release() < 1u) ++wrongCounts;

                if (round % 5 == 0) {
                    void* lockFactory = nullptr;
                    if (DllGetClassObject(CLSID_SeparatorSizing, IID_IClassFactory, &lockFactory) != S_OK) {
                        ++wrongCounts;
                        continue;
                    }
                    auto* held = static_cast<IClassFactory*>(lockFactory);
                    held->LockServer(TRUE);
                    held->LockServer(FALSE);
                    held->Release();
                }
            }
        });
    }
    for (std::thread& worker : workers) worker.join();
    stop = true;
    poller.join();

    EXPECT_EQ(wrongResults.load(), 0) << "a sizing on one thread gave other bits than alone";
    EXPECT_EQ(wrongCounts.load(), 0);
    EXPECT_GT(polls.load(), 0);
    EXPECT_EQ(unloadAllowed.load(), 0) << "the shared object was alive throughout";
    EXPECT_EQ(LiveObjectCount(), 1);
    EXPECT_EQ(shared->Release(), 0u);
    EXPECT_EQ(LiveObjectCount(), 0);
    EXPECT_EQ(module::LockCount(), 0);
    EXPECT_EQ(module::LiveFactoryCount(), 0);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace kestrol
