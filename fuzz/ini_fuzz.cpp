// Fuzzes the INI reader, its writes and the ranged reads of TINIObj. Built with libFuzzer when
// RM7UX_FUZZ is on; the test suite replays the seed corpus through the same entry.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "common/StrUtils.h"
#include "config/INIObj.h"
#include "platform/IniFile.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "ini_fuzz: %s\n", what);
        std::abort();
    }
}

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

// One file for the ranged reads, which read through a file. A fixed name in the working folder:
// a random one would change what the fuzzer sees from run to run.
const std::string& ScratchFile() {
    static const std::string path = std::filesystem::absolute("rm7ux-ini-fuzz.scratch");
    return path;
}

void CheckRangedReads(std::string_view content, const TIniText& text) {
    {
        std::ofstream out(ScratchFile(), std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    TINIObj ini;
    ini.SetFileName(ScratchFile());
    Check(ini.OpenFile(), "scratch file did not open");
    int checked = 0;
    for (const auto& section : text.Sections()) {
        for (const auto& key : text.Keys(section)) {
            if (++checked > 32)
                return;
            int32_t count = 0;
            std::string report;
            int32_t v32 = 0;
            bool ok = ini.ReadRangedInteger(count, report, section, key, v32, -40, 215, 7, ";");
            Check(ok == (count == 0) && ok == report.empty(), "count and report disagree");
            Check((v32 >= -40 && v32 <= 215) || v32 == 7, "32-bit value out of range");
            Check(ok || report.ends_with("Valid range: -40 to 215\r\n"), "bad report line");
            int64_t v64 = 0;
            ok = ini.ReadRangedInt64(count, report, section, key, v64, 0, 0xFFFFFFFFFF, -1, ";");
            Check((v64 >= 0 && v64 <= 0xFFFFFFFFFF) || v64 == -1, "64-bit value out of range");
            std::string value;
            bool marker = text.Find(section, key) == TINIObj::AbsentMarker;
            Check(ini.ReadValue(section, key, value) != marker, "presence misread");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view content(reinterpret_cast<const char*>(data), size);
    TIniText text(content);
    TIniText again(text.Text());
    Check(again.Text() == text.Text(), "writing is not stable");

    bool hadKey = text.Find("Fuzz", "Key").has_value();
    TIniText changed = text;
    changed.Set("fuzz", "KEY", " new value ");
    Check(changed.Find("FUZZ", "key") == std::optional<std::string>("new value"),
          "written value does not read back");

    for (const auto& section : text.Sections()) {
        Check(text.HasSection(section), "listed section not found");
        for (const auto& key : text.Keys(section)) {
            auto value = text.Find(section, key);
            Check(value.has_value(), "listed key not found");
            Check(value->empty() || (!IsBlank(value->front()) && !IsBlank(value->back())),
                  "value keeps blanks");
            Check(again.Find(section, key) == value, "value changed by a rewrite");
            bool theWrittenKey = LowerCase(section) == "fuzz" && LowerCase(key) == "key";
            Check(theWrittenKey || changed.Find(section, key) == value,
                  "a write changed another key");
        }
    }
    if (!hadKey) {
        Check(changed.Remove("Fuzz", "Key"), "written key cannot be deleted");
        std::string expected = text.Text() + (text.HasSection("fuzz") ? "" : "[fuzz]\r\n");
        Check(changed.Text() == expected, "delete did not undo the write");
    }
    CheckRangedReads(content, text);
    return 0;
}
