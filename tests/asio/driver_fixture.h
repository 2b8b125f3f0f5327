#pragma once
// Shared pieces of the driver tests: buffer entries, the capture signal and the fixture that
// puts the simulated TX880 on a manual clock behind a scripted host.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>

#include "KsAsioDriver/driver/asio_abi.h"
#include "KsAsioDriver/sim/sim_ks_device.h"
#include "driver_test_host.h"

namespace tx880::asio::test {

inline ASIOBufferInfo Input(long channel) {
  return ASIOBufferInfo{ASIOTrue, channel, {nullptr, nullptr}};
}
inline ASIOBufferInfo Output(long channel) {
  return ASIOBufferInfo{ASIOFalse, channel, {nullptr, nullptr}};
}

inline std::string ErrorText(IASIO* driver) {
  char text[128] = {};
  driver->getErrorMessage(text);
  return text;
}

// A capture signal whose delivered bytes differ for every frame and channel.
inline std::int32_t TestSignal(std::uint64_t frame, unsigned channel) {
  const std::uint32_t value = 0x01020300u * static_cast<std::uint32_t>(frame + 1) +
                              0x40506000u * (channel + 1) + 0x00110000u * channel;
  return static_cast<std::int32_t>(value);
}

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device.SetClock(sim::Clock::Manual);
    device.AddFilter(sim::SimKsSystem::Tx880(Tx880DevicePath()));
  }

  int OpenPinCount() const {
    int open = 0;
    for (const auto& pin : device.PinInstances()) open += pin.open ? 1 : 0;
    return open;
  }

  // Start, then wait for the three priming switches and the device running.
  void StartAndPrime(IASIO* driver, int switchesBefore = 0) {
    ASSERT_EQ(driver->start(), ASE_OK);
    ASSERT_TRUE(host.WaitForSwitches(switchesBefore + 3));
    ASSERT_TRUE(WaitForPinsRunning(device));
  }

  // One packet period of the device; returns when the host has seen the switch it causes.
  void AdvanceOnePacket(long frames) {
    const int before = host.SwitchCount();
    device.AdvanceFrames(static_cast<std::uint64_t>(frames));
    ASSERT_TRUE(host.WaitForSwitches(before + 1));
  }

  sim::SimKsSystem device;
  TestHost host;
};

}  // namespace tx880::asio::test
