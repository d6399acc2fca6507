// Fuzzes the configuration file's Load: whatever the file holds, a load that succeeds carries
// only values that fit their fields, a load that fails leaves the owner's record alone, and a
// record that loaded saves and loads back unchanged. Built with libFuzzer when RM7UX_FUZZ is
// on; the test suite replays the seed corpus through the same entry.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "config/RM7UXFlashConfigObj.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "flashfile_fuzz: %s\n", what);
        std::abort();
    }
}

// Two files, removed at exit: the input, and the copy that it is saved into. Fixed names in the
// working folder: a random name would change what the fuzzer sees from run to run.
struct ScratchFiles {
    ~ScratchFiles() {
        std::remove(Input.c_str());
        std::remove(Copy.c_str());
    }
    std::string Input = std::filesystem::absolute("rm7ux-flashfile-fuzz.input");
    std::string Copy = std::filesystem::absolute("rm7ux-flashfile-fuzz.copy");
};

bool Fits(int64_t value, int digits) {
    return value >= 0 && value < (int64_t{1} << (4 * digits));
}

void CheckLoaded(const TRM7UXFlashRecord& r) {
    for (int32_t v :
         {r.Ctcss, r.FreqOffset, r.Deviation, r.ModBalance, r.PttTimeout, r.ChannelSpacing,
          r.FreqBandCode, r.ShutdownTemp, r.PowerLevel, r.BandWidth, r.RssiOffset, r.TxPowerCal[0],
          r.TxPowerCal[1], r.TxPowerCal[2], r.TxPowerCal[3]}) {
        Check(Fits(v, 2), "2-digit value out of range");
    }
    for (int32_t v :
         {r.RxFreq, r.TxFreq, r.FreqRange[0], r.FreqRange[1], r.FreqRange[2], r.FreqRange[3]}) {
        Check(Fits(v, 4), "4-digit value out of range");
    }
    Check(Fits(r.SerialNumber, 8), "serial number out of range");
    for (int32_t v : {r.RevPowerThreshold, r.HardwareVersion, r.RadioCheck, r.RadioTemperature})
        Check(v == -1 || Fits(v, 2), "optional value out of range");
    Check(r.TimeLoad == std::chrono::system_clock::time_point{}, "load time read from a file");
    Check(FitsTheRadio(r), "a loaded record would not be sent");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchFiles scratch;
    const std::string& file = scratch.Input;
    const std::string& copy = scratch.Copy;
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    TRM7UXFlashRecordClass flash;
    flash.SetFileName(file);
    flash.Record().SerialNumber = 4242;
    flash.Record().FirmwareVersion = "held";
    const TRM7UXFlashRecord held = flash.Record();

    bool ok = flash.LoadFromFile();
    const TINIRM7UX& ini = flash.ConfigFile();
    Check(ok == (ini.ErrorCount() == 0) && ok == ini.ErrorText().empty(),
          "result, count and report disagree");
    if (!ok) {
        Check(flash.Record() == held, "a failed load changed the record");
        Check(ini.ErrorText().ends_with("\r\n"), "report line without its line end");
        return 0;
    }
    CheckLoaded(flash.Record());

    // What was accepted survives a save into a new file, exactly. Save may normalise only what
    // the record does not hold: every line ends in CR LF, each value is followed by blanks and
    // its comment, blanks around values are gone and other lines stay as they were. A lone CR
    // or LF ends a line on load like CR LF, so no value holds a line end that Save would have
    // to change ("RV=n\rn" loads as "n").
    const TRM7UXFlashRecord loaded = flash.Record();
    std::remove(copy.c_str());
    flash.SetFileName(copy);
    Check(flash.SaveToFile(), "save failed");
    flash.Reset();
    Check(flash.LoadFromFile(), "a saved record does not load");
    Check(flash.Record() == loaded, "save and load changed the record");
    return 0;
}
