#include <gtest/gtest.h>

#include "data/record.h"

using namespace qmv;

TEST(StrToInt, AcceptsBlanksSignAndDigitsOnly) {
    EXPECT_EQ(StrToInt("0"), 0);
    EXPECT_EQ(StrToInt("00012"), 12);
    EXPECT_EQ(StrToInt("  42"), 42);
    EXPECT_EQ(StrToInt("-15"), -15);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", " ", "-", "+", "1,", "12 ", "1a", "a", "0x10", "$10", "1.5", "- 1",
                            "2147483648", "-2147483649", "99999999999999999999"}) {
        EXPECT_THROW(StrToInt(bad), EConvertError) << '"' << bad << '"';
    }
}

TEST(Formatting, DataNoDependsOnModel) {
    EXPECT_EQ(FormatDataNo(1, "00012"), "012");
    EXPECT_EQ(FormatDataNo(2, "12"), "00012");
    EXPECT_EQ(FormatDataNo(1, "7"), "007");
    EXPECT_EQ(FormatDataNo(0, "7"), "00007");
    EXPECT_EQ(FormatDataNo(1, "1234"), "1234");
    EXPECT_EQ(FormatDataNo(5, "123456"), "123456");
    EXPECT_THROW(FormatDataNo(1, ""), EConvertError);
}

TEST(Formatting, FilterCodeTexts) {
    struct Case {
        std::string (*fn)(const std::string&);
        const char* code;
        const char* text;
    };
    const Case cases[] = {
        {HpfText, "0", "100"},  {HpfText, "1", "200"},  {HpfText, "2", "400"},
        {HpfText, "3", "Thr."}, {HpfText, "4", "-"},    {HpfText, "9", "-"},
        {LpfText, "0", "2200"}, {LpfText, "1", "1200"}, {LpfText, "2", "800"},
        {LpfText, "3", "600"},  {LpfText, "4", "400"},  {LpfText, "5", "-"},
        {LpfText, "9", "-"},    {NfText, "0", "OFF"},   {NfText, "1", "50 Hz"},
        {NfText, "2", "60 Hz"}, {NfText, "3", "-"},     {NfText, "9", "-"},
        {NrText, "0", "OFF"},   {NrText, "1", "Lv.1"},  {NrText, "2", "Lv.2"},
        {NrText, "3", "Lv.3"},  {NrText, "4", "-"},     {NrText, "9", "-"},
        {HpfText, "-1", "-"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.fn(c.code), c.text) << c.code;
    for (auto fn : {HpfText, LpfText, NfText, NrText}) {
        EXPECT_THROW(fn(""), EConvertError);
        EXPECT_THROW(fn(","), EConvertError);
        EXPECT_THROW(fn("x"), EConvertError);
    }
}

TEST(Formatting, FlagAndBandPass) {
    EXPECT_EQ(FlagText("1", "Overload"), "Overload");
    EXPECT_EQ(FlagText("0", "Overload"), "");
    EXPECT_EQ(FlagText("9", "Overload"), "");
    EXPECT_THROW(FlagText("", "Overload"), EConvertError);
    recReadDataSeg r;
    r.HpfCode = "3";
    r.LpfCode = "0";
    EXPECT_EQ(BandPassText(r, "Hz"), "Thr. - 2200 Hz");
}

TEST(ConvertLevel, MovesBetweenRanges) {
    struct Case {
        int from, to;
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {2, 4, "45", "85"},  {4, 3, "85", "65"},   {3, 2, "05", "-15"},
        {1, 1, "7", "07"},   {2, 3, "100", "120"}, {4, 2, "40", "00"},
        {4, 2, "35", "-05"}, {5, 4, "0", "40"},    {0, 9, "123", "123"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ConvertLevel(c.from, c.to, c.in), c.out) << c.from << "->" << c.to << " " << c.in;
    EXPECT_THROW(ConvertLevel(2, 4, "4a"), EConvertError);
    EXPECT_THROW(ConvertLevel(2, 4, "2147483647"), EConvertError);
}

TEST(ModelTextKey, NamesEveryKnownModel) {
    EXPECT_EQ(ModelTextKey(0), "");
    EXPECT_EQ(ModelTextKey(1), "QMV27");
    EXPECT_EQ(ModelTextKey(2), "GZNMax");
    EXPECT_EQ(ModelTextKey(3), "GZNMid");
    EXPECT_EQ(ModelTextKey(4), "GZNMin");
    EXPECT_EQ(ModelTextKey(5), "TR22B7");
    EXPECT_EQ(ModelTextKey(6), "");
}
