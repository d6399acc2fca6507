// rm7ux-sim as scripts use it: start, read the two lines it prints, talk, stop with SIGTERM.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "RawPort.h"
#include "Subprocess.h"
#include "TempDir.h"
#include "platform/PortNames.h"

namespace {

Subprocess Sim(std::vector<std::string> args) {
    args.insert(args.begin(), RM7UX_SIM_PATH);
    return Subprocess(args);
}

TEST(RM7UXSim, ServesTheChosenRadioUntilTerminated) {
    TempDir dir;
    dir.PointConfigHere();
    // --version with a text is still the radio's version text, as before --version alone.
    Subprocess sim = Sim({"--model", "RM7VX", "--serial", "1234567", "--port=COM150", "--field",
                          "PT=2700", "--lower-case-echo", "--version", "RM7VX V2.99"});
    ASSERT_EQ(sim.Line(), "COM 150");
    std::string device = sim.Line();
    ASSERT_EQ(device.rfind("DEVICE /dev/", 0), 0u) << device;
    EXPECT_NE(ResolveComPort(150), "");
    {
        RawPort port(ResolveComPort(150));
        ASSERT_TRUE(port.IsOpen());
        port.Write("RV");
        EXPECT_EQ(port.ReadUntil(">"), "rv RM7VX V2.99\r\n>");
        port.Write("PN\r");
        EXPECT_EQ(port.ReadUntil(">"), "pn 0012D687 \r\n>");
        port.Write("PT\r");
        EXPECT_EQ(port.ReadUntil(">"), "pt 2700 \r\n>");
    }
    EXPECT_EQ(sim.Stop(), 0);
    struct stat st {};
    EXPECT_NE(::lstat((dir.Path() + "/config/KorvaTech/CFG_RM7UX_Radio/ports/COM150").c_str(), &st),
              0);
}

// Serial 0 is a radio of its own (the program-from-file guard treats it specially).
TEST(RM7UXSim, ServesSerialZero) {
    TempDir dir;
    dir.PointConfigHere();
    Subprocess sim = Sim({"--serial", "0", "--port", "151"});
    ASSERT_EQ(sim.Line(), "COM 151");
    sim.Line();
    RawPort port(ResolveComPort(151));
    ASSERT_TRUE(port.IsOpen());
    port.Write("PN\r");
    EXPECT_EQ(port.ReadUntil(">"), "PN 00000000 \r\n>");
}

TEST(RM7UXSim, RefusesBadOptions) {
    TempDir dir;
    for (std::vector<std::string> args : {std::vector<std::string>{"--model", "RM9"},
                                          {"--port", "0"},
                                          {"--serial", "4294967296"},
                                          {"--field", "ZZ=1"},
                                          {"--frobnicate"}}) {
        const std::string option = args[0];
        args.insert(args.begin(), RM7UX_SIM_PATH);
        EXPECT_EQ(RunProgram(args, dir.File("sim")).Status, 2) << option;
    }
    RunResult version = RunProgram({RM7UX_SIM_PATH, "--version"}, dir.File("sim"));
    EXPECT_EQ(version.Status, 0);
    EXPECT_EQ(version.Out.rfind("rm7ux-sim ", 0), 0u) << version.Out;
}

}  // namespace
