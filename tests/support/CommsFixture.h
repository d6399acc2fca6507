#pragma once
// The command layer as the window uses it: a link registered with the two state hooks, the
// codes they were given remembered, and an emulated radio plugged into the link's port; the
// per-user folders in a test folder.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "TempDir.h"
#include "emulator/RadioEmulator.h"
#include "link/RM7UXcomms.h"

// The window's side of the state hooks: remembers every code shown.
struct StateDisplay {
    std::vector<int> Codes;
    uint8_t State = 0;
    void Show(uint8_t code) {
        Codes.push_back(code);
        State = code;
    }
};

class CommsFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        dir.PointConfigHere();
        link.SetControlLines(0, 1);
        RegisterRM7UXComms(
            &link, [this](uint8_t c) { display.Show(c); }, [this] { return display.State; });
    }
    void TearDown() override {
        link.Close();
        RegisterRM7UXComms(nullptr, nullptr, nullptr);
    }
    // Starts a radio and points the link at it.
    void Plug(RadioEmulator& radio) {
        radio.Start();
        link.CommPort = radio.ComPort();
    }

    TempDir dir;
    TVVComm2 link;
    StateDisplay display;
};
