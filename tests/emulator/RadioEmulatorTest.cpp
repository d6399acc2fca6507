#include "emulator/RadioEmulator.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <latch>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "RawPort.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "emulator/RadioMachine.h"
#include "platform/PortNames.h"

using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

namespace {

class EmulatorTest : public ::testing::Test {
  protected:
    void SetUp() override { dir_.PointConfigHere(); }

    // Starts the radio and opens its COM port the way the program finds it: by the link.
    void Start(EmulatorOptions options = {}) {
        radio_ = std::make_unique<RadioEmulator>(std::move(options));
        radio_->Start();
        port_ = std::make_unique<RawPort>(ResolveComPort(radio_->ComPort()));
        ASSERT_TRUE(port_->IsOpen());
    }

    // Sends text and reads as many bytes as the reply expected, so a test fails on the bytes.
    std::string Exchange(const std::string& send, size_t replyLength) {
        port_->Write(send);
        return port_->Read(replyLength);
    }
#define EXPECT_REPLY(send, reply) EXPECT_EQ(Exchange(send, std::string(reply).size()), reply)

    TempDir dir_;
    std::unique_ptr<RadioEmulator> radio_;
    std::unique_ptr<RawPort> port_;
};

TEST_F(EmulatorTest, AttachesAsComPortAndDetachesOnStop) {
    Start();
    std::string link = ResolveComPort(radio_->ComPort());
    EXPECT_GE(radio_->ComPort(), 100u);
    EXPECT_EQ(radio_->ComName(), "COM" + std::to_string(radio_->ComPort()));
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    port_.reset();
    radio_->Stop();
    EXPECT_NE(::lstat(link.c_str(), &st), 0);
    radio_->Stop();  // twice is harmless
}

// Radios starting together each take the first free number: none may take over another's link.
TEST_F(EmulatorTest, PortsTakenTogetherAreNeverShared) {
    constexpr int kThreads = 3, kEach = 40;
    std::latch ready(kThreads);
    std::vector<std::vector<uint32_t>> taken(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ready.arrive_and_wait();
            for (int i = 0; i < kEach; ++i)
                taken[t].push_back(AttachFreeComPort(100, "radio" + std::to_string(t)));
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::set<uint32_t> all;
    for (int t = 0; t < kThreads; ++t) {
        for (uint32_t n : taken[t]) {
            all.insert(n);
            EXPECT_EQ(std::filesystem::read_symlink(ResolveComPort(n)), "radio" + std::to_string(t))
                << n;
        }
    }
    EXPECT_EQ(all.size(), size_t{kThreads * kEach});
    EXPECT_EQ(all.count(0), 0u);
}

TEST_F(EmulatorTest, AnExceptionOnTheRadiosThreadIsRecordedAndHangsUp) {
    EmulatorOptions options;
    options.OnEvent = [](const RadioEvent& e) {
        if (e.Kind != "cr")
            throw std::runtime_error("no more");
    };
    Start(options);
    EXPECT_REPLY("\r", "\r\n>");
    EXPECT_TRUE(port_->Write("RV"));
    EXPECT_TRUE(radio_->WaitForEvent("hangup"));
    port_->Read(3);  // what was echoed before the hang-up may be lost with it
    EXPECT_TRUE(port_->HungUp());
    EXPECT_EQ(radio_->EventTexts(), (Texts{"cr", "rv", "error no more", "hangup"}));
    const std::string link = ResolveComPort(radio_->ComPort());
    radio_->Stop();
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0);
}

TEST_F(EmulatorTest, PromptIdentificationAndStatusFields) {
    Start();
    const struct {
        std::string Send;
        std::string Reply;
        std::string Event;
    } cases[] = {
        {"\r", "\r\n>", "cr"},           {"RV", "RV RM7UH V1.12A\r\n>", "rv"},
        {"RH", "RH 02\r\n>", "read RH"}, {"RT", "RT 41\r\n>", "read RT"},  // 25 C + 40
        {"rr", "rr 2A\r\n>", "read RR"},  // lower-case commands are understood
        {"RC", "RC 00\r\n>", "read RC"}, {"XY", "XY?\r\n>", "unknown XY"},
        {"P\r", "P\r\n>", "cancel P"},
    };
    for (const auto& c : cases) {
        radio_->ClearEvents();
        EXPECT_REPLY(c.Send, c.Reply) << c.Send;
        EXPECT_EQ(radio_->EventTexts(), Texts{c.Event}) << c.Send;
    }
    EXPECT_EQ(radio_->BytesReceived(), 15u);
}

TEST_F(EmulatorTest, EditableFieldsReadCancelAndWrite) {
    Start();
    const struct {
        std::string Code;
        std::string Shown;
        std::string NewValue;
    } cases[] = {
        {"PN", "00BC614E", "01312D00"},  // serial 12345678, then 20000000
        {"PT", "5780", "5DC0"},          // 440 MHz, then 450 MHz
        {"PB", "00", "01"},
        {"PS", "69", "5a"},  // digits in lower case are taken too
    };
    for (const auto& c : cases) {
        radio_->ClearEvents();
        EXPECT_REPLY(c.Code, c.Code + " " + c.Shown + " ");
        EXPECT_REPLY("\r", "\r\n>");
        EXPECT_REPLY(c.Code + c.NewValue.substr(0, 1) + "\r",
                     c.Code + " " + c.Shown + " " + c.NewValue.substr(0, 1) + "\r\n>");
        EXPECT_REPLY(c.Code + c.NewValue, c.Code + " " + c.Shown + " " + c.NewValue + "\r\n>");
        EXPECT_EQ(radio_->EventTexts(),
                  (Texts{"read " + c.Code, "cancel " + c.Code + " " + c.NewValue.substr(0, 1),
                         "write " + c.Code + " " + c.NewValue}));
        EXPECT_EQ(radio_->Field(c.Code), std::stoul(c.NewValue, nullptr, 16)) << c.Code;
    }
    radio_->ClearEvents();
    EXPECT_REPLY("PD8G", "PD 80 8G?");
    EXPECT_EQ(radio_->EventTexts(), Texts{"bad PD 8G"});
    EXPECT_EQ(radio_->Field("PD"), 0x80u);
}

TEST_F(EmulatorTest, PowerCalibrationTakesALevelFirst) {
    Start();
    EXPECT_REPLY("PL", "PL ");
    EXPECT_REPLY("2", "2 90 ");
    EXPECT_REPLY("A0", "A0\r\n>");
    EXPECT_REPLY("PL9", "PL 9?\r\n>");
    EXPECT_REPLY("PL\r", "PL \r\n>");
    EXPECT_EQ(radio_->EventTexts(), (Texts{"write PL2 A0", "bad PL 9", "cancel PL"}));
    EXPECT_EQ(radio_->Field("PL2"), 0xA0u);
    EXPECT_EQ(radio_->Field("PL1"), 0x60u);
}

// The sequences the program's command functions send, step by step, against the radio.
TEST_F(EmulatorTest, CommandFunctionSequencesSucceed) {
    Start();
    RawPort& p = *port_;
    // IdentifyRadio: CR, prompt, RV read up to the prompt.
    p.Write("\r");
    ASSERT_TRUE(p.WaitForPrompt());
    ASSERT_TRUE(p.WriteEchoed("RV"));
    std::string version = p.ReadUntil(">");
    EXPECT_EQ(version, " RM7UH V1.12A\r\n>");
    // ReadField("PT", 2, 4): command, five characters, CR, prompt.
    ASSERT_TRUE(p.WriteEchoed("PT"));
    EXPECT_EQ(p.Read(5).substr(1), "5780");
    p.Write("\r");
    ASSERT_TRUE(p.WaitForPrompt());
    // QueryField("RT", 2, 2): no CR.
    ASSERT_TRUE(p.WriteEchoed("RT"));
    EXPECT_EQ(p.Read(3).substr(1), "41");
    ASSERT_TRUE(p.WaitForPrompt());
    // SetField("PP", "FF"): two spaces around the current value, then the echoed digits.
    ASSERT_TRUE(p.WriteEchoed("PP"));
    ASSERT_TRUE(p.WaitForChar(' '));
    ASSERT_TRUE(p.WaitForChar(' '));
    ASSERT_TRUE(p.WriteEchoed("FF"));
    ASSERT_TRUE(p.WaitForPrompt());
    // SetFieldPair("PL", "3", "C9").
    ASSERT_TRUE(p.WriteEchoed("PL"));
    ASSERT_TRUE(p.WaitForChar(' '));
    ASSERT_TRUE(p.WriteEchoed("3"));
    ASSERT_TRUE(p.WaitForChar(' '));
    ASSERT_TRUE(p.WaitForChar(' '));
    ASSERT_TRUE(p.WriteEchoed("C9"));
    ASSERT_TRUE(p.WaitForPrompt());
    // QueryFieldWithArgument("PL", "3", 2, 2): three characters after the level's echo, CR.
    ASSERT_TRUE(p.WriteEchoed("PL"));
    ASSERT_TRUE(p.WaitForChar(' '));
    ASSERT_TRUE(p.WriteEchoed("3"));
    EXPECT_EQ(p.Read(3).substr(1), "C9");
    p.Write("\r");
    ASSERT_TRUE(p.WaitForPrompt());
    // SaveToFlash, then ResetRadio ("O" echoed, "Z" not checked, prompt within 300 characters).
    ASSERT_TRUE(p.WriteEchoed("EE"));
    ASSERT_TRUE(p.WaitForPrompt());
    ASSERT_TRUE(p.WriteEchoed("EP"));
    ASSERT_TRUE(p.WaitForPrompt());
    ASSERT_TRUE(p.WriteEchoed("O"));
    p.Write("Z");
    ASSERT_TRUE(p.WaitForPrompt());
    p.Write("\r");
    ASSERT_TRUE(p.WaitForPrompt());
    EXPECT_EQ(radio_->EventTexts(),
              (Texts{"cr", "rv", "read PT", "read RT", "write PP FF", "write PL3 C9", "read PL3",
                     "ee", "flash", "reset", "cr"}));
    EXPECT_EQ(radio_->FlashField("PP"), 0xFFu);
    EXPECT_EQ(radio_->FlashField("PL3"), 0xC9u);
}

TEST_F(EmulatorTest, FlashSaveAndResetRestoreFromFlash) {
    Start();
    EXPECT_REPLY("PT5781", "PT 5780 5781\r\n>");
    EXPECT_REPLY("OZ", "OZ\r\nRM7UH V1.12A\r\n>");
    EXPECT_EQ(radio_->Field("PT"), 0x5780u);  // never saved: the reset brings back flash

    EXPECT_REPLY("PT5781", "PT 5780 5781\r\n>");
    EXPECT_REPLY("EE", "EE\r\n>");
    EXPECT_REPLY("EP", "EP\r\n>");
    EXPECT_REPLY("PT5782", "PT 5781 5782\r\n>");
    EXPECT_REPLY("EP", "EP?\r\n>");  // EP alone does not save
    EXPECT_REPLY("EE", "EE\r\n>");
    EXPECT_REPLY("RT", "RT 41\r\n>");  // anything between disarms EE
    EXPECT_REPLY("EP", "EP?\r\n>");
    EXPECT_EQ(radio_->FlashField("PT"), 0x5781u);
    EXPECT_REPLY("O3", "O3\r\n>");
    EXPECT_TRUE(radio_->Transmitting());
    EXPECT_REPLY("OZ", "OZ\r\nRM7UH V1.12A\r\n>");
    EXPECT_EQ(radio_->Field("PT"), 0x5781u);
    EXPECT_FALSE(radio_->Transmitting());
    EXPECT_EQ(radio_->EventTexts(),
              (Texts{"write PT 5781", "reset", "write PT 5781", "ee", "flash", "write PT 5782",
                     "unknown EP", "ee", "read RT", "unknown EP", "tx on", "reset"}));
}

TEST(FirmwareKnowsPV, FromRevisionAOf112OnAndAlwaysOnTheRM7VX) {
    const struct {
        const char* Version;
        bool Knows;
    } cases[] = {
        {"RM7UH V1.12A", true}, {"RM7UH V1.12a", true},  {"RM7UH V1.12B", true},
        {"RM7UL V1.13", true},  {"RM7UH V2.0", true},    {"RM7UH V1.9", true},
        {"RM7UL V1.12", false}, {"RM7UL V1.11Z", false}, {"RM7UH", false},
        {"RM7UH Vx", false},    {"RM7VX V0.1", true},    {"RM7VX", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FirmwareKnowsPV(c.Version), c.Knows) << c.Version;
}

TEST_F(EmulatorTest, OldRM7UXFirmwareRefusesPV) {
    EmulatorOptions options;
    options.Radio = RadioPersonality::RM7UL();
    Start(options);
    EXPECT_REPLY("RV", "RV RM7UL V1.11Z\r\n>");
    EXPECT_REPLY("PV", "PV?\r\n>");
    EXPECT_EQ(radio_->EventTexts(), (Texts{"rv", "unknown PV"}));
    radio_->SwapRadio(RadioPersonality::RM7UH());
    EXPECT_REPLY("PV", "PV 20 ");
}

TEST_F(EmulatorTest, ModemDialogueIntoAndOutOfRadioMode) {
    EmulatorOptions options;
    options.Modem = true;
    Start(options);
    RawPort& p = *port_;
    auto say = [&](const std::string& text, std::chrono::milliseconds first = 2000ms) {
        p.Write(text);
        return p.ReadReply(first, 100ms);
    };
    EXPECT_NE(say("\r").find("OK"), std::string::npos);
    EXPECT_NE(say("ATI\r").find("M82"), std::string::npos);
    EXPECT_NE(say("AT#C9\r").find("ERROR"), std::string::npos);  // locked
    EXPECT_NE(say("AT#R\r").find("Password"), std::string::npos);
    say("TIDEWAter\r", 200ms);
    EXPECT_FALSE(radio_->ModemInRadioMode());
    EXPECT_FALSE(say("AT#C9\r", 200ms).empty());
    EXPECT_TRUE(radio_->ModemInRadioMode());
    // Now the radio answers, as if connected directly.
    EXPECT_REPLY("\r", "\r\n>");
    EXPECT_REPLY("RV", "RV RM7UH V1.12A\r\n>");
    // Leaving: ETX, CR, ATZ; "Config loaded OK" comes after the ATZ reply has gone quiet.
    EXPECT_TRUE(p.Write("\x03"));
    EXPECT_FALSE(p.ReadReply(200ms, 10ms).empty());
    EXPECT_FALSE(radio_->ModemInRadioMode());
    p.Write("\r");
    p.Write("ATZ\r");
    std::string atz = p.ReadReply(200ms, 10ms);
    EXPECT_EQ(atz.find("Config loaded OK"), std::string::npos) << atz;
    EXPECT_NE(p.ReadReply(400ms, 10ms).find("Config loaded OK"), std::string::npos);
    EXPECT_EQ(radio_->EventTexts(),
              (Texts{"at", "at ATI", "at AT#C9", "at AT#R", "password TIDEWAter", "at AT#C9", "cr",
                     "rv", "etx", "at", "at ATZ"}));
}

TEST_F(EmulatorTest, WrongModemPasswordKeepsRadioModeLocked) {
    EmulatorOptions options;
    options.Modem = true;
    Start(options);
    port_->Write("AT#R\r");
    port_->ReadUntil("Password: ");
    port_->Write("tidewater\r");
    EXPECT_NE(port_->ReadUntil("ERROR\r\n").find("ERROR"), std::string::npos);
    port_->Write("AT#C9\r");
    EXPECT_NE(port_->ReadUntil("ERROR\r\n").find("ERROR"), std::string::npos);
    EXPECT_FALSE(radio_->ModemInRadioMode());
}

TEST_F(EmulatorTest, RepliesUnderFaults) {
    Start();
    RadioFaults wrongEcho, lowerEcho, noEcho, garbage, garbagePl, noModel, noPrompt;
    wrongEcho.WrongEcho = true;
    lowerEcho.LowerCaseEcho = true;
    noEcho.NoEcho = true;
    garbage.GarbageField = "PT";
    garbagePl.GarbageField = "PL";
    noModel.NoModel = true;
    noPrompt.NoPrompt = true;
    const struct {
        const char* Name;
        RadioFaults Faults;
        std::string Send;
        std::string Reply;
    } cases[] = {
        {"wrong echo", wrongEcho, "RT", "## 41\r\n>"},
        {"lower-case echo", lowerEcho, "RT", "rt 41\r\n>"},
        {"no echo", noEcho, "RT", " 41\r\n>"},
        {"garbage PT", garbage, "PT\r", "PT XXXX \r\n>"},
        {"garbage PL", garbagePl, "PL1\r", "PL 1 XX \r\n>"},
        {"garbage elsewhere", garbage, "PR\r", "PR 5780 \r\n>"},
        {"no model", noModel, "RV", "RV XR900 V1.00\r\n>"},
        {"no prompt", noPrompt, "RT", "RT 41\r\n"},
    };
    for (const auto& c : cases) {
        radio_->SetFaults(c.Faults);
        EXPECT_REPLY(c.Send, c.Reply) << c.Name;
    }
    EXPECT_EQ(port_->Read(1, 100ms), "");  // and no prompt after all
}

TEST_F(EmulatorTest, SilentRadioAnswersNothingUntilTheFaultIsCleared) {
    Start();
    RadioFaults silent;
    silent.Silent = true;
    radio_->SetFaults(silent);
    EXPECT_EQ(Exchange("\rRV", 1), "");  // waits out the program's 300 ms read time-out
    EXPECT_TRUE(radio_->Events().empty());
    radio_->SetFaults({});
    EXPECT_REPLY("\r", "\r\n>");
}

TEST_F(EmulatorTest, HangsUpAfterTheGivenNumberOfCommands) {
    Start();
    RadioFaults faults;
    faults.HangUpAfterCommands = 1;
    radio_->SetFaults(faults);
    EXPECT_REPLY("\r", "\r\n>");  // a lone CR is not a command
    EXPECT_REPLY("RT", "RT 41\r\n>");
    EXPECT_EQ(Exchange("R", 1), "");
    EXPECT_TRUE(port_->HungUp());
    EXPECT_TRUE(radio_->HungUp());
    EXPECT_EQ(radio_->EventTexts(), (Texts{"cr", "read RT", "hangup"}));
}

TEST_F(EmulatorTest, HangUpOnDemand) {
    Start();
    radio_->HangUp();
    EXPECT_TRUE(radio_->HungUp());
    EXPECT_EQ(Exchange("\r", 1), "");
    EXPECT_TRUE(port_->HungUp());
}

TEST_F(EmulatorTest, SlowRepliesTakeTheirDelayPerCharacter) {
    Start();
    RadioFaults slow;
    slow.CharDelayMs = 20;
    radio_->SetFaults(slow);
    auto start = std::chrono::steady_clock::now();
    EXPECT_REPLY("RT", "RT 41\r\n>");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 8 * 20ms);
}

TEST_F(EmulatorTest, SwapRadioIsAnotherRadioPluggedIn) {
    Start();
    EXPECT_REPLY("PT57", "PT 5780 57");  // an entry in progress is dropped
    radio_->SwapRadio(RadioPersonality::RM7VX(11111111));
    EXPECT_REPLY("RV", "RV RM7VX V2.03\r\n>");
    EXPECT_REPLY("PN\r", "PN 00A98AC7 \r\n>");
    EXPECT_REPLY("PA\r", "PA 02 \r\n>");
    EXPECT_REPLY("PT\r", "PT 2620 \r\n>");  // 161 MHz above the 100 MHz base
    EXPECT_EQ(radio_->Radio().VersionText, "RM7VX V2.03");
}

TEST(RadioPersonality, DefaultsLieInsideTheirBands) {
    // Channels of 6.25 kHz above 300 MHz (RM7UX) or 100 MHz (RM7VX).
    const struct {
        RadioPersonality Radio;
        uint32_t BandCode, Low, Centre, High, Serial;
    } cases[] = {
        {RadioPersonality::RM7UH(), 140, 0x5140, 0x5780, 0x5DC0, 12345678},
        {RadioPersonality::RM7UL(), 140, 0x5140, 0x5780, 0x5DC0, 12345601},
        {RadioPersonality::RM7VX(), 2, 0x1E00, 0x2620, 0x2E40, 11223344},
    };
    for (const auto& c : cases) {
        const RadioFields& f = c.Radio.Fields;
        EXPECT_EQ(f.PA, c.BandCode) << c.Radio.VersionText;
        EXPECT_EQ((std::vector<uint32_t>{f.P1, f.PT, f.P2, f.P3, f.PR, f.P4}),
                  (std::vector<uint32_t>{c.Low, c.Centre, c.High, c.Low, c.Centre, c.High}));
        EXPECT_EQ(f.PN, c.Serial);
        EXPECT_EQ(c.Radio.Flash, f);
    }
    EXPECT_EQ(RadioPersonality::ByName("rm7vx", 1234567).Fields.PN, 1234567u);
    EXPECT_EQ(RadioPersonality::ByName("RM7UL", 0).Flash.PN, 0u);  // a serial, not "the default"
    EXPECT_THROW(RadioPersonality::ByName("RM7XX"), std::invalid_argument);
}

TEST_F(EmulatorTest, PacedRepliesKeepToTheWireSpeed) {
    EmulatorOptions options;
    options.Pace = true;
    Start(options);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(Exchange("RV", 18), "RV RM7UH V1.12A\r\n>");
    auto elapsed = std::chrono::steady_clock::now() - start;
    // Per exchange the first letter crosses the wire, then 18 characters come back one after
    // the other, each 1.0417 ms: a lower bound only.
    EXPECT_EQ(radio_->BytesSent(), 90u);
    EXPECT_EQ(radio_->BytesReceived(), 10u);
    EXPECT_GE(elapsed, 5 * 19 * RadioEmulator::CharTime);
}

// A client killed mid-exchange leaves the exclusive flag set; a real port forgets it at the
// last close, and so does the emulated one.
TEST_F(EmulatorTest, ExclusiveFlagGoesWithTheLastClient) {
    Start();
    ASSERT_EQ(::ioctl(port_->Fd(), TIOCEXCL), 0);
    auto exclusive = [this] {
        int fd = ::open(radio_->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        int on = -1;
        if (fd >= 0) {
            ::ioctl(fd, TIOCGEXCL, &on);
            ::close(fd);
        }
        return on;
    };
    // Root opens an exclusive tty anyway; TIOCGEXCL tells the flag.
    if (::getuid() == 0) {
        EXPECT_EQ(exclusive(), 1);
    }
    port_.reset();  // closed with no TIOCNXCL, as by a killed program
    EXPECT_TRUE(WaitFor([&] { return exclusive() == 0; }));
}

}  // namespace
