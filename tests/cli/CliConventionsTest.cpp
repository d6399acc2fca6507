// Conventions scripts rely on (option forms, --version, diff's statuses, one --log for a whole
// command) and hostile files and environments, against the emulated radio.

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "CliFixture.h"

namespace {

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST_F(CliTest, OptionFormsVersionAndThePortRule) {
    StartRadio();
    const std::string n = std::to_string(Radio().ComPort());
    CliResult r = RunPlain({"--version"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out.rfind("rm7ux ", 0), 0u) << r.Out;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--port=" + n, "get", "PT"},
          {"-p", "COM " + n, "get", "PT"},
          {"get", "PT", "-p" + n},
          {"-d", Radio().SlavePath(), "get", "PT"}}) {
        r = RunPlain(args);
        EXPECT_EQ(r.Status, 0) << args[0] << " " << args[1] << ": " << r.Err;
        EXPECT_EQ(r.Out, "5780\n");
    }
    EXPECT_EQ(RunPlain({"--port", "COM0", "get", "PT"}).Status, 2);
    r = RunPlain({"--port", "auto", "get", "PT"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "5780\n");
}

TEST_F(CliTest, DiffFollowsDiff1AndFailuresNameWhatFailedOrWasSkipped) {
    StartRadio();
    ASSERT_EQ(Run({"save", File("radio.RM7UX")}).Status, 0);
    EXPECT_EQ(Run({"diff", File("radio.RM7UX")}).Status, 0);
    Radio().SetField("PT", 0x5781);
    CliResult r = Run({"diff", File("radio.RM7UX")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(
        r.Out,
        "PT file=$5780 radio=$5781 (tx-frequency: file 440.00000 MHz, radio 440.00625 MHz)\n");
    EXPECT_EQ(Run({"diff", File("absent.RM7UX")}).Status, 2);
    // A failure names the field and what the radio said.
    RadioFaults garbage;
    garbage.GarbageField = "PT";
    Radio().SetFaults(garbage);
    r = Run({"read"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(Has(r.Err, "at PT (the radio answered 'PT XXXX')")) << r.Err;
    RadioFaults silent;
    silent.Silent = true;
    Radio().SetFaults(silent);
    EXPECT_EQ(Run({"diff", File("radio.RM7UX")}).Status, 2);

    // The same board on firmware without PV: the file's PV is reported, and that is no failure.
    StartRadio(WithSerial(RadioPersonality::RM7UL(), 12345678));
    r = Run({"program", File("radio.RM7UX")});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(Has(r.Err, "PV not programmed")) << r.Err;
    EXPECT_EQ(Radio().FlashField("PT"), 0x5780u);
    EXPECT_FALSE(Has(r.Err, "...")) << "progress lines on a pipe:\n" << r.Err;
}

TEST_F(CliTest, OneLogHoldsEveryExchangeOfAProgramInBothDirections) {
    StartRadio();
    ASSERT_EQ(Run({"save", File("radio.RM7UX")}).Status, 0);
    const std::string log = File("traffic.log");
    CliResult r = Run({"--log", log, "program", File("radio.RM7UX")});
    ASSERT_EQ(r.Status, 0) << r.Err;
    std::string sent, received;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) {
        if (size_t at = line.find(" > "); at != std::string::npos)
            sent += line.substr(at + 3);
        else if (size_t at2 = line.find(" < "); at2 != std::string::npos)
            received += line.substr(at2 + 3);
    }
    // Serial check, write and flash, reset, drain, read-back: every session is there.
    EXPECT_GE(Count(received, "RM7UH V1.12A"), 3u) << received;
    EXPECT_TRUE(Has(sent, "EE") && Has(sent, "EP") && Has(sent, "OZ")) << sent;
    EXPECT_TRUE(Has(sent, "5780")) << sent;  // the values typed, not only the commands

    // Only a regular file: a FIFO without a reader must not hang, a device must not swallow it.
    ASSERT_EQ(::mkfifo(File("fifo").c_str(), 0600), 0);
    for (const std::string& bad : {File("fifo"), std::string("/dev/full")}) {
        r = Run({"--log", bad, "get", "PT"});
        EXPECT_EQ(r.Status, 2) << bad;
        EXPECT_TRUE(Has(r.Err, "regular file")) << r.Err;
    }
}

TEST_F(CliTest, SavesThatWouldNotLoadBackOrCannotBeWrittenLeaveTheOldFile) {
    StartRadio();
    // A foreign file too large for a configuration file: --force must not make it a backup
    // that program then refuses.
    const std::string foreign = File("foreign.RM7UX");
    const std::string big(2 * 1024 * 1024, 'x');
    std::ofstream(foreign) << big;
    CliResult r = Run({"save", foreign, "--force"});
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(ReadWholeFile(foreign), big);

    // A file-size limit: the clean "Unable to write" of a full disk, no temporary file left.
    r = RunProgram({"/bin/sh", "-c", "ulimit -f 1 && exec \"$@\"", "sh", RM7UX_CLI_PATH, "--port",
                    std::to_string(Radio().ComPort()), "save", File("small.RM7UX")},
                   File("ulimit"));
    EXPECT_EQ(r.Status, 2) << r.Err;
    EXPECT_TRUE(Has(r.Err, "Unable to write")) << r.Err;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
        EXPECT_FALSE(Has(entry.path().filename().string(), "small.RM7UX")) << entry.path();

    // A configuration file that an editor saved with a byte-order mark reads as any other.
    ASSERT_EQ(Run({"save", File("plain.RM7UX")}).Status, 0);
    std::ofstream(File("bom.RM7UX")) << "\xEF\xBB\xBF" << ReadWholeFile(File("plain.RM7UX"));
    r = Run({"diff", File("bom.RM7UX")});
    EXPECT_EQ(r.Status, 0) << r.Err;
}

}  // namespace
