#include <gtest/gtest.h>

#include "CommaLocale.h"

#include "common/Exception.h"
#include "link/Utilities.h"

namespace {

TEST(ModelVariantCode, Table) {
    struct Case {
        const char* text;
        uint8_t code;
    };
    const Case cases[] = {
        {"RM7UH", 3},        // five characters: too short even with a variant letter
        {"RM7UH ", 1},       //
        {"RM7UL 1.12A", 0},  //
        {"RM7UX 1.12A", 3},  // fifth character is neither H nor L
        {"xRM7VL 2.0", 2},   // RM7V anywhere wins over the fifth character
        {"RM7VH 1.0", 2},    //
        {"RM7Uh 1.0", 3},    // the letter is case-sensitive
        {"", 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ModelVariantCode(c.text), c.code) << c.text;
}

TEST(PowerLevelCaptions, RowsJoinedWithoutFinalLineEnd) {
    EXPECT_EQ(PowerLevelCaptions(0), " 10mW\r\n 25mW\r\n100mW\r\n500mW");
    EXPECT_EQ(PowerLevelCaptions(1), "500mW\r\n   1W\r\n   2W\r\n   5W");
    EXPECT_EQ(PowerLevelCaptions(2), "100mW\r\n   1W\r\n   2W\r\n   5W");
    EXPECT_EQ(PowerLevelCaptions(3), "");
    EXPECT_EQ(PowerLevelCaptions(255), "");
    for (const auto& row : PowerCaptionTable) {
        for (auto caption : row)
            EXPECT_EQ(caption.size(), 5u) << caption;
    }
    EXPECT_EQ(HardwareRevisionBase[0], 1);
    EXPECT_EQ(HardwareRevisionBase[1], 3);
}

TEST(ParseFirmwareVersion, Pieces) {
    struct Case {
        const char* text;
        bool found;
        const char* name;
        const char* number;
        const char* suffix;
    };
    const Case cases[] = {
        {"RM7UH V1.12A", true, "RM7UH", "1.12", "A"},
        {"RM7UH 1.13", true, "RM7UH", "1.13", ""},
        {"RM7UH V2.0 beta 3", true, "RM7UH", "2.0", " beta 3"},
        {"RM7UH", false, "RM7UH", "", ""},
        {"RM7UH Vx.y", false, "RM7UH", "", ""},
        {" 1.5", true, "", "1.5", ""},
    };
    for (const auto& c : cases) {
        std::string name = "old", number = "old", suffix = "old";
        EXPECT_EQ(ParseFirmwareVersion(c.text, name, number, suffix), c.found) << c.text;
        EXPECT_EQ(name, c.name) << c.text;
        EXPECT_EQ(number, c.number) << c.text;
        EXPECT_EQ(suffix, c.suffix) << c.text;
    }
}

TEST(CompareFirmwareVersions, Table) {
    struct Case {
        const char *numberA, *suffixA, *numberB, *suffixB;
        int result;
    };
    const Case cases[] = {
        {"1.12", "A", "1.12", "A", 0},
        {"1.12", "B", "1.12", "A", 1},
        {"1.12", "", "1.12", "A", -1},
        {"1.12", "a", "1.12", "A", 0},
        {"1.9", "", "1.12", "A", 1},  // decimals, not dotted components
        {"1.11", "Z", "1.12", "A", -1},
        {"1.12", "AB", "1.12", "A", 1},
        {"1.1.2", "", "1.12", "A", -2},
        {"", "", "1.12", "A", -2},
        {"1000000000000000000000000000000000000000000000", "", "1.12", "A", 1},  // past single
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareFirmwareVersions(c.numberA, c.suffixA, c.numberB, c.suffixB), c.result)
            << c.numberA << c.suffixA << " vs " << c.numberB << c.suffixB;
    }
    EXPECT_EQ(CompareFirmwareVersions("1,13", "", "1.12", "A"), -2);
}

TEST(SupportsPVCommand, FirmwareLevels) {
    struct Case {
        const char* text;
        bool supported;
    };
    const Case cases[] = {
        {"RM7UH V1.12A", true},  {"RM7UH V1.12B", true},  {"RM7UH V1.13", true},
        {"RM7UH V2.0", true},    {"RM7UH V1.12a", true},  {"RM7UH V1.12", false},
        {"RM7UH V1.11Z", false}, {"RM7UH V1.11z", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SupportsPVCommand(true, c.text), c.supported) << c.text;
    }
}

TEST(SupportsPVCommand, UnreadableVersions) {
    for (const char* text : {"RM7UH", "RM7UH no digits"}) {
        EXPECT_TRUE(SupportsPVCommand(false, text)) << text;
        try {
            SupportsPVCommand(true, text);
            ADD_FAILURE() << "no exception for " << text;
        } catch (const EFirmwareVersion& e) {
            EXPECT_STREQ(e.what(), "SupportsPVCommand: Could not determine firmware version");
        }
    }
    // The radio's number reads the same under a decimal-comma locale.
    const FormatSettings kept = DefaultFormatSettings();
    SetDefaultFormatSettings(CommaFormat());
    EXPECT_FALSE(SupportsPVCommand(true, "RM7UH V1.11"));
    EXPECT_TRUE(SupportsPVCommand(true, "RM7UH V1.12A"));
    SetDefaultFormatSettings(kept);
}

TEST(FrequencyCodec, ToChannel) {
    struct Case {
        int model;
        const char* step;
        double mhz;
        const char* channel;
    };
    const Case cases[] = {
        {1, "00", 433.05, "5328"},
        {1, "00", 440.0, "5780"},
        {1, "01", 512.0, "A5A0"},
        {0, "00", 100.0, "0000"},
        {0, "01", 174.0, "39D0"},
        {1, "01", 409.9875, "55EE"},  // half-way: ties to the even channel 21998
        {1, "00", 299.0, "0000"},     // outside the model: still a four-digit channel
        {1, "00", 900.0, "FFFF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FrequencyToChannel(c.model, c.step, c.mhz), c.channel) << c.mhz;
    }
}

TEST(FrequencyCodec, FromChannel) {
    EXPECT_DOUBLE_EQ(ChannelToFrequency(0, "0000", "00"), 100.0);
    EXPECT_DOUBLE_EQ(ChannelToFrequency(1, "0000", "01"), 300.0);
    EXPECT_DOUBLE_EQ(ChannelToFrequency(1, "FFFF", "00"), 300.0 + 409.59375);
    EXPECT_DOUBLE_EQ(ChannelToFrequency(1, "5780", "00"), 440.0);
    EXPECT_DOUBLE_EQ(ChannelToFrequency(1, "ffff", "01"), 300.0 + 327.675);
    for (const char* bad : {"", "12G4", " 123", "-001", "0x12"}) {
        EXPECT_THROW(ChannelToFrequency(1, bad, "00"), EConvertError) << bad;
    }
}

TEST(FrequencyCodec, Validity) {
    struct Case {
        int model;
        const char* step;
        double mhz;
        bool valid;
        double nearest;
    };
    const Case cases[] = {
        {1, "00", 433.05, true, 433.05},        {1, "00", 433.051, false, 433.05},
        {1, "00", 299.0, false, 300.0},         {1, "00", 600.0, true, 512.0},
        {1, "01", 409.9875, false, 409.99},     {1, "00", 409.9875, true, 409.9875},
        {0, "00", 0.0, false, 100.0},           {0, "00", 236.0, true, 235.0},
        {1, "00", 300.0 + 409.6, false, 512.0},  // channel 65536: past four digits
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidFrequency(c.model, c.step, c.mhz), c.valid) << c.mhz;
        EXPECT_DOUBLE_EQ(NearestValidFrequency(c.model, c.step, c.mhz), c.nearest) << c.mhz;
    }
}

}  // namespace
