#pragma once
// Fixture of the Wine tests over the simulated bridge: the filter class is
// registered by the first device a test adds, every device is gone after
// each test, and the class is unregistered when the suite ends.
#include "bridge_sim_devices_win32.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <strmif.h>
#include <uuids.h>

namespace bridgesim::test {

class CSimDevicesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_pDevices = new CSimDevices;
        WarmUpCom();
    }
    static void TearDownTestSuite() {
        delete s_pDevices;
        s_pDevices = nullptr;
    }
    void SetUp() override {
        Devices().RemoveDevices();
        Devices().TakeLog();
    }
    void TearDown() override { Devices().RemoveDevices(); }
    static CSimDevices& Devices() { return *s_pDevices; }

private:
    // The first COM activation of a Wine session starts Wine's own service
    // processes, which takes seconds; timings measure the libraries, not that.
    static void WarmUpCom() {
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
            return;
        ICreateDevEnum* pDevEnum = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_ICreateDevEnum, reinterpret_cast<void**>(&pDevEnum))))
            pDevEnum->Release();
        CoUninitialize();
    }

    static inline CSimDevices* s_pDevices = nullptr;
};

} // namespace bridgesim::test
