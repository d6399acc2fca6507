// The settings table's codec: values in units to the radio's digits and back, by the window's
// rules, with the refusals the command line relies on.

#include <gtest/gtest.h>

#include "config/RadioSettings.h"

namespace {

SettingsContext Radio(int model, const char* step, const char* version, double low = 0,
                      double high = 0) {
    SettingsContext c;
    c.RadioModel = model;
    c.StepCode = step;
    c.VersionText = version;
    c.Low = low;
    c.High = high;
    c.HaveLimits = high > 0;
    return c;
}

TEST(RadioSettings, EncodeFollowsTheCodecGridAndLimits) {
    const SettingsContext ux = Radio(1, "00", "RM7UH V1.12A", 430, 450);
    const SettingsContext ux5 = Radio(1, "01", "RM7UL V1.11Z");
    const SettingsContext vx = Radio(0, "00", "RM7VX V2.03");
    struct Case {
        const char* Name;
        const char* Text;
        SettingsContext Ctx;
        SettingRefusal Refusal;
        const char* Raw;
        const char* Shown;
    };
    using R = SettingRefusal;
    const Case cases[] = {
        {"tx-frequency", "440", ux, R::None, "5780", "440.00000"},
        {"tx-frequency", " 433.051 MHz", ux, R::None, "5328", "433.05000"},  // snapped
        {"tx-frequency", "450.003", ux, R::None, "5DC0", "450.00000"},       // snaps onto the limit
        {"tx-frequency", "451", ux, R::OutOfLimits, "", ""},
        {"tx-frequency", "440,5", ux, R::Invalid, "", ""},  // "." whatever the locale
        {"tx-frequency", "nan", ux, R::Invalid, "", ""},
        {"rx-frequency", "409.9875", ux5, R::None, "55EE", "409.99000"},  // ties to even
        {"rx-frequency", "299.99", ux5, R::Invalid, "", ""},
        {"rx-frequency", "161", vx, R::None, "2620", "161.00000"},
        {"step", "5", vx, R::Invalid, "", ""},
        {"step", "5kHz", ux, R::None, "01", "5"},
        {"power", "5w", ux, R::None, "03", "5W"},
        {"power", "25mW", ux5, R::None, "01", "25mW"},
        {"power", "5W", ux5, R::Invalid, "", ""},  // not this variant's caption
        {"power", "4", ux, R::Invalid, "", ""},
        {"cutout-temperature", "215", ux, R::None, "FF", "215"},
        {"cutout-temperature", "-40", ux, R::NeedsConfirm, "00", "-40"},
        {"cutout-temperature", "216", ux, R::Invalid, "", ""},
        {"ctcss", "39", ux, R::Invalid, "", ""},
        {"ptt-timeout", "255 s", ux, R::None, "FF", "255"},
        {"serial", "12345678", ux, R::Invalid, "", ""},  // read only
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.Name) + " '" + c.Text + "'";
        EncodedSetting e = EncodeSetting(*FindRadioSetting(c.Name), c.Text, c.Ctx);
        EXPECT_EQ(e.Refusal, c.Refusal) << what << ": " << e.Problem;
        if (c.Refusal == R::None || c.Refusal == R::NeedsConfirm) {
            EXPECT_EQ(e.Raw, c.Raw) << what;
            EXPECT_EQ(e.Shown, c.Shown) << what;
        } else {
            EXPECT_FALSE(e.Problem.empty()) << what;
        }
    }
    EXPECT_NE(EncodeSetting(*FindRadioSetting("tx-frequency"), "451", ux)
                  .Problem.find("430.00000 to 450.00000 MHz"),
              std::string::npos);
}

TEST(RadioSettings, DecodeNamesGarbageInsteadOfGuessing) {
    const SettingsContext ux = Radio(1, "00", "RM7UH V1.12A");
    struct Case {
        const char* Name;
        const char* Raw;
        std::optional<std::string> Value;
    };
    const Case cases[] = {
        {"tx-frequency", "FFFF", "709.59375"},
        {"tx-frequency", "XXXX", std::nullopt},
        {"power", "02", "2W"},
        {"power", "07", std::nullopt},
        {"temperature", "00", "-40"},
        {"bandwidth", "01", "12.5"},
        {"serial", "00BC614E", "12345678"},
        {"model", "RM7VX V2.03", "RM7VX"},
        {"alarms", "05", "Temp, PLL"},
        {"step", "01", "5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodeSetting(*FindRadioSetting(c.Name), c.Raw, ux), c.Value) << c.Name << c.Raw;
}

TEST(RadioSettings, PlansByCodeWithinTheBand) {
    ASSERT_NE(FindPlanRow(1, 110, "hk"), nullptr);
    EXPECT_EQ(FindPlanRow(1, 110, "hk")->Upper, 409.9875);
    EXPECT_EQ(FindPlanRow(1, 140, "HK"), nullptr);  // another band's plan
    EXPECT_NE(FindPlanRow(0, 3, "Entire Band"), nullptr);
}

}  // namespace
