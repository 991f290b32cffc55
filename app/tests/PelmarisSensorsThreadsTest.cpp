// The sensor and output objects are looked up from the sounder's, the
// network reader's and the recorder's threads while the user-interface
// thread closes and destroys them.
#include "ShellTestSupport.h"
#include "app/Pelmaris.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace app;
using namespace shelltest;

namespace {

TEST(PelmarisSensorsThreadsTest, LookupsFromWorkersMeetClosingAndDestroyingObjects)
{
    ShellEnvironment env;
    CPelmaris pelmaris;
    pelmaris.frameFactory = [](CPelmaris&, unsigned) -> std::unique_ptr<IMainFrame> {
        return std::make_unique<FakeFrame>();
    };
    for (auto& row : pelmaris.sensorTable)
        row.create = [](CPelmaris&) -> std::unique_ptr<CSensorObject> {
            return std::make_unique<TSensorObject<int>>(std::make_shared<int>(1));
        };
    ASSERT_TRUE(pelmaris.InitInstance({"QY310"}));
    ASSERT_NE(pelmaris.Sensor<int>(SensorId::GeographicInfo), nullptr);
    ASSERT_NE(pelmaris.Sensor<int>(SensorId::NetworkOutput), nullptr);

    // One object closes with the sensors, the other goes when the rest is
    // destroyed; each worker stops once it has seen its object gone.
    std::atomic<bool> started[2]{false, false};
    std::vector<std::thread> workers;
    for (const SensorId id : {SensorId::GeographicInfo, SensorId::NetworkOutput})
        workers.emplace_back([&pelmaris, id, &started, n = workers.size()] {
            while (pelmaris.Sensor<int>(id) != nullptr)
                started[n] = true;
        });
    for (auto& s : started)
        while (!s)
            std::this_thread::yield();
    pelmaris.CloseSensors();
    workers[0].join();
    EXPECT_NE(pelmaris.SensorObject(SensorId::NetworkOutput), nullptr);
    pelmaris.DestroySensors();
    workers[1].join();
    for (std::size_t i = 0; i < kSensorCount; ++i)
        EXPECT_EQ(pelmaris.SensorObject(static_cast<SensorId>(i)), nullptr) << i;
}

}  // namespace
