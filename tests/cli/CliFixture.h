#pragma once
// A test folder that is also the per-user config folder, an emulated radio attached as a COM
// port in it, and rm7ux run against that port.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "TempDir.h"
#include "emulator/RadioEmulator.h"

class CliTest : public testing::Test {
  protected:
    CliTest() { dir_.PointConfigHere(); }

    void StartRadio(RadioPersonality personality = RadioPersonality::RM7UH()) {
        EmulatorOptions options;
        options.Radio = std::move(personality);
        radio_ = std::make_unique<RadioEmulator>(options);
        radio_->Start();
    }
    RadioEmulator& Radio() { return *radio_; }

    // rm7ux --port <the radio's> args...
    CliResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", std::to_string(radio_->ComPort())});
        return RunRm7ux(args, dir_.Path());
    }
    CliResult RunPlain(const std::vector<std::string>& args) { return RunRm7ux(args, dir_.Path()); }
    std::string File(const std::string& name) const { return dir_.File(name); }

    // The radio saved as a configuration file `name`; then every calibration field and both
    // frequencies of the radio, working and flash alike, are changed, so that programming the file
    // writes each of them.
    std::string SaveThenChangeRadio(const std::string& name) {
        const std::string file = File(name);
        EXPECT_EQ(Run({"save", file, "--force"}).Status, 0);
        RadioPersonality changed = radio_->Radio();
        for (RadioFields* f : {&changed.Fields, &changed.Flash}) {
            for (const char* code : {"PF", "PD", "PM", "PS", "PW", "PL0", "PL1", "PL2", "PL3", "PP",
                                     "PO", "SC", "PB", "PV"})
                f->Set(code, f->Get(code) ^ 1);
            f->PT += 8;
            f->PR += 8;
        }
        radio_->SwapRadio(changed);
        return file;
    }

    static RadioPersonality WithSerial(RadioPersonality p, uint32_t serial) {
        p.SetSerial(serial);
        return p;
    }

    TempDir dir_;
    std::unique_ptr<RadioEmulator> radio_;
};
