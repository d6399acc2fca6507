#include <gtest/gtest.h>

#include "frequency/CountryFrequency.h"
#include "link/Utilities.h"

namespace {

const TGroupFreqBands& UX = GroupFreqBands[1];
const TGroupFreqBands& VX = GroupFreqBands[0];

TEST(CountryFrequency, TablesKeepTheirInvariants) {
    ASSERT_EQ(UX.size(), 21u);
    ASSERT_EQ(VX.size(), 2u);
    for (int model : {0, 1}) {
        TGroupFreqBands table = GroupFreqBands[model];
        for (size_t i = 0; i < table.size(); ++i) {
            const auto& row = table[i];
            bool first = i == 0 || table[i - 1].BandCode != row.BandCode;
            if (i > 0) {
                EXPECT_LE(table[i - 1].BandCode, row.BandCode) << i;
            }
            // Each band opens with its whole range and only that row lacks an abbreviation.
            EXPECT_EQ(first, row.Abbreviation.empty()) << i;
            EXPECT_EQ(first, row.Name == "Entire Band") << i;
            EXPECT_LT(row.Lower, row.Upper) << i;
            EXPECT_TRUE(IsValidFrequency(model, "00", row.Lower)) << i;
            EXPECT_TRUE(IsValidFrequency(model, "00", row.Upper)) << i;
        }
    }
    EXPECT_FALSE(IsValidFrequency(1, "01", UX[6].Upper));  // Hong Kong: off the 5 kHz grid
    EXPECT_EQ(UX[19].Lower, 472.0125);
}

TEST(CountryFrequency, FindBandStart) {
    struct Case {
        int model;
        int32_t band;
        int32_t start;
    };
    const Case cases[] = {
        {1, 10, 0},  {1, 110, 5},  {1, 140, 8}, {1, 160, 14}, {1, 201, 20}, {1, 0, -1},
        {1, 20, -1}, {1, 255, -1}, {0, 2, 0},   {0, 3, 1},    {0, 10, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindBandStart(GroupFreqBands[c.model], c.band), c.start) << c.band;
    }
}

TEST(CountryFrequency, Band140ListsSixItemsAndFindsIsm) {
    std::vector<std::string> items{"old"};
    ASSERT_TRUE(FillBandList(UX, items, 140));
    EXPECT_EQ(items, (std::vector<std::string>{
                         "Entire Band", "CZ: Czech Republic",
                         "ISM: Austria, Finland, France, Germany, Italy, Poland, South Africa, "
                         "Turkey",
                         "NW: Norway", "SD: Sweden", "SP: Spain"}));
    EXPECT_EQ(PlanStart(), 8);
    int32_t position = 99;
    ASSERT_TRUE(FindPlanIndex(UX, 433.05, 434.8, position));
    EXPECT_EQ(position, 2);
    EXPECT_EQ(PlanRow(position), 10);
    EXPECT_TRUE(FindPlanIndex(UX, 430, 450, position));
    EXPECT_EQ(position, 0);
    // A limit that only rounds to the row's does not match.
    EXPECT_FALSE(FindPlanIndex(UX, 433.05 + 1e-9, 434.8, position));
    EXPECT_EQ(position, -1);
    // Rows of the neighbouring bands are not this band's.
    EXPECT_FALSE(FindPlanIndex(UX, 450, 470, position));
}

TEST(CountryFrequency, HongKongAndRm7vx) {
    std::vector<std::string> items;
    ASSERT_TRUE(FillBandList(UX, items, 110));
    EXPECT_EQ(items, (std::vector<std::string>{"Entire Band", "HK: Hong Kong"}));
    EXPECT_EQ(UX[PlanRow(1)].Upper, 409.9875);

    ASSERT_TRUE(FillBandList(VX, items, 3));
    EXPECT_EQ(items, (std::vector<std::string>{"Entire Band"}));
    EXPECT_EQ(VX[PlanRow(0)].Lower, 220.0);
    EXPECT_EQ(VX[PlanRow(0)].Upper, 235.0);
}

TEST(CountryFrequency, UnknownBandLeavesItemsAndClearsPlanStart) {
    std::vector<std::string> items;
    ASSERT_TRUE(FillBandList(UX, items, 160));
    EXPECT_FALSE(FillBandList(VX, items, 10));
    EXPECT_EQ(items.size(), 4u);
    EXPECT_EQ(PlanStart(), -1);
    EXPECT_EQ(PlanRow(0), -1);
    int32_t position = 0;
    EXPECT_FALSE(FindPlanIndex(UX, 450, 470, position));
    EXPECT_EQ(position, -1);
}

TEST(CountryFrequency, PlanStartBeyondAShorterTable) {
    std::vector<std::string> items;
    ASSERT_TRUE(FillBandList(UX, items, 201));
    int32_t position = 0;
    EXPECT_FALSE(FindPlanIndex(VX, 148, 174, position));
}

}  // namespace

// Limits between two channels move inward; those on the grid stay where they are.
TEST(CountryFrequency, InwardChannelsKeepInsideThePlan) {
    const TChannelRange hk = InwardChannels(409.75, 409.9875, 300000000, 5000);
    EXPECT_EQ(hk.Lower, 21950);
    EXPECT_EQ(hk.Upper, 21997);  // 409.985, not 409.99
    const TChannelRange oz = InwardChannels(472.0125, 472.1125, 300000000, 5000);
    EXPECT_EQ(oz.Lower, 34403);  // 472.015
    EXPECT_EQ(oz.Upper, 34422);  // 472.110
    const TChannelRange ism = InwardChannels(433.05, 434.8, 300000000, 6250);
    EXPECT_EQ(ism.Lower, 21288);
    EXPECT_EQ(ism.Upper, 21568);
}
