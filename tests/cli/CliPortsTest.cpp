// rm7ux ports, --port auto and the ports other programs hold, against emulated radios.

#include <algorithm>
#include <memory>

#include "CliFixture.h"
#include "Subprocess.h"
#include "platform/PortDiagnosis.h"

namespace {

std::unique_ptr<RadioEmulator> StartEmulator(uint32_t serial) {
    EmulatorOptions options;
    options.Radio = RadioPersonality::RM7UH(serial);
    auto radio = std::make_unique<RadioEmulator>(options);
    radio->Start();
    return radio;
}

TEST_F(CliTest, AutoFindsTheRadioPastAHeldPortAndASilentOne) {
    // Three links in COM order: one a terminal program holds, one silent, one that answers.
    auto held = StartEmulator(11111111);
    auto silent = StartEmulator(22222222);
    auto good = StartEmulator(12345601);
    RadioFaults quiet;
    quiet.Silent = true;
    silent->SetFaults(quiet);
    Subprocess terminal({"/bin/sh", "-c", "exec sleep 60 <>" + held->SlavePath()});
    ASSERT_TRUE(WaitFor([&] { return !FindPortHolders(held->SlavePath()).empty(); }));

    CliResult list = RunPlain({"ports"});
    EXPECT_EQ(list.Status, 0) << list.Err;
    for (const auto* r : {held.get(), silent.get(), good.get()})
        EXPECT_TRUE(Has(list.Out, r->ComName() + "  " + r->SlavePath())) << list.Out;
    CliResult json = RunPlain({"ports", "--json"});
    EXPECT_EQ(PortEntry(json.Out, good->ComPort()), "link true " + good->SlavePath()) << json.Out;

    CliResult found = RunPlain({"--port", "auto", "identify"});
    EXPECT_EQ(found.Status, 0) << found.Err;
    EXPECT_TRUE(Has(found.Out, "Serial number: 12345601")) << found.Out;
    EXPECT_TRUE(Has(found.Err, held->ComName() + " (" + held->SlavePath() +
                                   ", pseudo-terminal): not tried, in use by"))
        << found.Err;
    EXPECT_TRUE(Has(found.Err, silent->ComName() + " (" + silent->SlavePath() +
                                   ", pseudo-terminal): No Connection"))
        << found.Err;
    // The held radio heard nothing; the one found was asked twice: the search, the command.
    EXPECT_TRUE(held->EventTexts().empty());
    const auto seen = good->EventTexts();
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "rv"), 2);

    // Named directly, the held port is refused, and the holder named.
    CliResult refused = RunPlain({"--port", std::to_string(held->ComPort()), "identify"});
    EXPECT_EQ(refused.Status, 1);
    EXPECT_TRUE(Has(refused.Err, "Not Available")) << refused.Err;
    EXPECT_TRUE(Has(refused.Err, "(sleep): close that program")) << refused.Err;
    EXPECT_TRUE(held->EventTexts().empty());
    terminal.Stop();

    // Nothing answers: status 1, and what was tried.
    good->SetFaults(quiet);
    held->SetFaults(quiet);
    CliResult none = RunPlain({"--port", "auto", "status"});
    EXPECT_EQ(none.Status, 1);
    EXPECT_TRUE(Has(none.Err, "no radio answered")) << none.Err;
}

TEST_F(CliTest, PinKeepsADeviceAsTheNumberGiven) {
    StartRadio();
    CliResult pin = RunPlain({"ports", "--pin", "7", Radio().SlavePath()});
    EXPECT_EQ(pin.Status, 0) << pin.Err;
    // A pseudo-terminal has no by-id name: the link goes to the device, and that is said.
    EXPECT_TRUE(Has(pin.Err, "No stable name")) << pin.Err;
    EXPECT_TRUE(Has(pin.Out, "COM7 -> " + Radio().SlavePath())) << pin.Out;
    CliResult r = RunPlain({"--port", "7", "identify"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(RunPlain({"ports", "--pin", "7", File("nothing")}).Status, 2);
    EXPECT_EQ(RunPlain({"ports", "--pin", "300", Radio().SlavePath()}).Status, 2);
}

}  // namespace

namespace {

TEST_F(CliTest, ModemCommandsRunInsideTheModemAndLeaveItInAtMode) {
    EmulatorOptions options;
    options.Modem = true;
    RadioEmulator modem(options);
    modem.Start();
    const std::string port = std::to_string(modem.ComPort());
    const std::string file = File("inside.RM7UX");
    const std::vector<std::vector<std::string>> commands = {
        {"identify"}, {"read"}, {"save", file}, {"program", file, "--yes"}, {"get", "QQ"}};
    for (const auto& command : commands) {
        std::vector<std::string> args = {"--port", port, "--modem"};
        args.insert(args.end(), command.begin(), command.end());
        modem.ClearEvents();
        CliResult r = RunPlain(args);
        // A command that fails (an unknown code) still gives the modem back.
        EXPECT_EQ(r.Status, command[0] == "get" ? 2 : 0) << command[0] << ": " << r.Err;
        EXPECT_FALSE(modem.ModemInRadioMode()) << command[0];
        const auto seen = modem.EventTexts();
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.front(), "at") << command[0];
        EXPECT_NE(std::find(seen.begin(), seen.end(), "at AT#C9"), seen.end()) << command[0];
        EXPECT_EQ(seen.back(), "at ATZ") << command[0];
        if (command[0] == "identify") {
            EXPECT_TRUE(Has(r.Out, "Serial number: 12345678")) << r.Out;
        }
    }

    // A plain radio is no modem: status 1, and what it answered.
    StartRadio();
    CliResult plain = RunPlain({"--port", std::to_string(Radio().ComPort()), "--modem", "read"});
    EXPECT_EQ(plain.Status, 1);
    EXPECT_TRUE(Has(plain.Err, "it answered \"\\r\\n>\"")) << plain.Err;
    const auto seen = Radio().EventTexts();
    EXPECT_TRUE(std::none_of(seen.begin(), seen.end(),
                             [](const std::string& e) { return e.rfind("read", 0) == 0; }));
}

}  // namespace
