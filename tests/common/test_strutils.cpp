#include <gtest/gtest.h>

#include "CommaLocale.h"

#include "common/Exception.h"
#include "common/StrUtils.h"

namespace {

TEST(StrUtils, IntegersInEveryNotationAndNothingElse) {
    struct Case {
        const char* Text;
        std::optional<int32_t> Value;
    } cases[] = {
        {"200", 200},       {"$C8", 200},
        {"xC8", 200},       {"0XC8", 200},
        {"  -12", -12},     {"+7", 7},
        {"$", {}},          {"12 ", {}},
        {"1.5", {}},        {"", {}},
        {"$1G", {}},        {"2147483647", 2147483647},
        {"2147483648", {}}, {"-2147483648", INT32_MIN},
        {"$FFFFFFFF", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.Value, TryStrToInt(c.Text)) << c.Text;
    EXPECT_EQ(4294967295, TryStrToInt64("$FFFFFFFF"));
    EXPECT_THROW(HexToInt("7G"), EConvertError);
}

TEST(StrUtils, NumbersFollowTheGivenSeparatorOnly) {
    const FormatSettings dot;
    EXPECT_EQ("409.86875", FormatFixed(409.86875, 5, dot));
    EXPECT_EQ("440,00000", FormatFixed(440.0, 5, CommaFormat()));
    EXPECT_EQ("12.5", FormatGeneral(12.5, dot));
    EXPECT_EQ("25", FormatGeneral(25.0, dot));
    EXPECT_EQ("12,5", FormatGeneral(12.5, CommaFormat()));

    EXPECT_EQ(440.5, TryStrToFloat(" 440.5 ", dot));
    EXPECT_EQ(440.5, TryStrToFloat("440,5", CommaFormat()));
    EXPECT_FALSE(TryStrToFloat("440,5", dot));
    EXPECT_FALSE(TryStrToFloat("1.12", CommaFormat()));
    EXPECT_FALSE(TryStrToFloat("abc", dot));
    EXPECT_FALSE(TryStrToFloat("1e", dot));
}

}  // namespace
