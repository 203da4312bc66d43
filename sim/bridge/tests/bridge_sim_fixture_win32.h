#pragma once
// Fixture of the Wine tests over the simulated bridge: the filter class is
// registered before each test and every device it added is gone after it;
// unregistered again when the suite ends.
#include "bridge_sim_devices_win32.h"

#include <gtest/gtest.h>

namespace bridgesim::test {

class CSimDevicesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_pDevices = new CSimDevices; }
    static void TearDownTestSuite() {
        delete s_pDevices;
        s_pDevices = nullptr;
    }
    void SetUp() override {
        ASSERT_EQ(0u, Devices().Register());
        Devices().RemoveDevices();
        Devices().TakeLog();
    }
    void TearDown() override { Devices().RemoveDevices(); }
    static CSimDevices& Devices() { return *s_pDevices; }

private:
    static inline CSimDevices* s_pDevices = nullptr;
};

} // namespace bridgesim::test
