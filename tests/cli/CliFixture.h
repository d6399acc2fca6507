#pragma once
// A test folder that is also the per-user config folder, an emulated radio attached as a COM
// port in it, and rm7ux run against that port.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "SignalAt.h"
#include "TempDir.h"
#include "cli/Json.h"
#include "emulator/RadioEmulator.h"

// Whether `text` holds `part`, and how many times.
inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

inline size_t CountOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// A member of a JSON document's object by its path ({"settings", "tx-frequency", "value"}) as
// its text, "null" for null; "(none)" when the path leads nowhere, "(not JSON: ...)" when the
// text is not one document.
inline std::string JsonAt(const std::string& json, const std::vector<std::string>& path) {
    std::string problem;
    const std::optional<JsonValue> doc = ParseJson(json, problem);
    if (!doc)
        return "(not JSON: " + problem + ")";
    const JsonValue* v = &*doc;
    for (const std::string& name : path) {
        v = v->Find(name);
        if (v == nullptr)
            return "(none)";
    }
    return v->IsNull() ? "null" : v->Text;
}

// The port of `ports --json` with COM n, as one line: "link true /dev/pts/3" (kind, present,
// device); "(none)" when there is none.
inline std::string PortEntry(const std::string& json, uint32_t n) {
    std::string problem;
    const std::optional<JsonValue> list = ParseJson(json, problem);
    if (!list)
        return "(not JSON: " + problem + ")";
    for (const JsonValue& port : list->Items) {
        if (port.Find("com") != nullptr && port.Find("com")->Text == std::to_string(n))
            return port.Find("kind")->Text + " " + port.Find("present")->Text + " " +
                   port.Find("device")->Text;
    }
    return "(none)";
}

// A setting's entry as one line: "PT MHz 440.0 5780".
inline std::string SettingEntry(const std::string& json, const std::string& name) {
    std::string line;
    for (const char* member : {"code", "unit", "value", "raw"})
        line += (line.empty() ? "" : " ") + JsonAt(json, {"settings", name, member});
    return line;
}

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

    // A signal the radio will send, kept as long as the radio: the radio's thread may record an
    // event after the scope that asked for it has ended.
    SignalAt& Signalling(std::string prefix, int signal) {
        signals_.push_back(std::unique_ptr<SignalAt>(new SignalAt{std::move(prefix), signal}));
        return *signals_.back();
    }

    TempDir dir_;
    // Before the radio, so the radio (and its thread) goes first.
    std::vector<std::unique_ptr<SignalAt>> signals_;
    std::unique_ptr<RadioEmulator> radio_;
};
