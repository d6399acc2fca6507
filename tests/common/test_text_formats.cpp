// CSV cells a spreadsheet shows as text, and moments as ISO 8601 text.

#include <gtest/gtest.h>

#include "TimeZone.h"
#include "common/Csv.h"
#include "common/TimeText.h"

namespace {

TEST(Csv, CellsThatWouldRunAsFormulasAreText) {
    const std::pair<std::string, std::string> cells[] = {
        {"", ""},
        {"441.25000", "441.25000"},
        {"-40", "-40"},  // a whole number stays a number
        {"-4.5", "'-4.5"},
        {"-", "'-"},
        {"=1+1", "'=1+1"},
        {"+5", "'+5"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"},
        {"\r=1", "\"'\r=1\""},
        {"a,b", "\"a,b\""},
        {"=a,b", "\"'=a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"x=1", "x=1"},
    };
    for (const auto& [text, cell] : cells)
        EXPECT_EQ(CsvCell(text), cell) << text;
    EXPECT_EQ(CsvLine({"a", "", "-1"}), "a,,-1\r\n");
}

TEST(TimeText, ReadsIsoTimesWithAndWithoutAZone) {
    TimeZone cet(kCentralEurope);
    const std::time_t winterNine = 1768467600;  // 2026-01-15T09:00:00Z
    const std::pair<std::string, std::optional<std::time_t>> times[] = {
        {"2026-01-15T09:00:00Z", winterNine},
        {"2026-01-15T09:00Z", winterNine},
        {"2026-01-15T10:00:00", winterNine},  // local, an hour east of UTC in winter
        {"2026-01-15 10:00", winterNine},
        {"2026-01-15T10:00:00+01:00", winterNine},
        {"2026-01-15T04:30:00-0430", winterNine},
        {"2026-01-15T11:00+02", winterNine},
        {"2026-01-15", winterNine - 10 * 3600},  // local midnight
        {"2026-07-01T14:00:00", 1782907200},     // summer: two hours east
        {"2026-02-30", std::nullopt},
        {"2026-01-15T24:00", std::nullopt},
        {"2026-01-15T09:60", std::nullopt},
        {"2026-01-15T09:00:00+1", std::nullopt},
        {"2026-01-15T09:00:00 Z", std::nullopt},
        {"2026-01-15X09:00", std::nullopt},
        {"2026-1-15", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, t] : times)
        EXPECT_EQ(ParseTimeText(text), t) << text;
    EXPECT_EQ(UtcTimeText(winterNine), "2026-01-15T09:00:00Z");
    EXPECT_EQ(LocalTimeText(winterNine), "2026-01-15T10:00:00+01:00");
    EXPECT_EQ(LocalTimeText(1782907200, ' '), "2026-07-01 14:00:00+02:00");
}

}  // namespace
