// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/JsonLine.h"

#include "CaseName.h"

#include <gtest/gtest.h>

namespace kestrun {
namespace {

using namespace Qt::StringLiterals;

struct JsonStringCase
{
    const char* Name;
    QString Value;
    QByteArray Json;
};

void PrintTo(const JsonStringCase& c, std::ostream* os) { *os << c.Name; }

class JsonStringTest : public ::testing::TestWithParam<JsonStringCase> {};

TEST_P(JsonStringTest, EscapesAndEncodesAsUtf8)
{
    QByteArray out = "x";
    AppendJsonString(out, GetParam().Value);
    EXPECT_EQ(out, "x" + GetParam().Json);
}

// Plain ASCII goes over in blocks of eight characters: what must be escaped is tried at the edges
// of such blocks and after them.
INSTANTIATE_TEST_SUITE_P(Cases, JsonStringTest, ::testing::Values(
    JsonStringCase{"Empty", u""_s, R"("")"},
    JsonStringCase{"ShortAscii", u"Milk 1"_s, R"("Milk 1")"},
    JsonStringCase{"LongAscii", u"0123456789abcdefghijklmnopqrstuvwxyz ~"_s, R"("0123456789abcdefghijklmnopqrstuvwxyz ~")"},
    JsonStringCase{"QuoteEndsFirstBlock", u"0123456\"89abcdef"_s, R"("0123456\"89abcdef")"},
    JsonStringCase{"BackslashStartsSecondBlock", u"01234567\\9abcdefgh"_s, R"("01234567\\9abcdefgh")"},
    JsonStringCase{"ControlsInALongRun", u"01234567\t\r\n\x01" u"abcdefgh\x1F"_s, R"("01234567\t\r\n\u0001abcdefgh\u001f")"},
    JsonStringCase{"DeleteStaysAsItIs", u"0123456\x7F" u"89abcdef"_s, "\"0123456\x7F" "89abcdef\""},
    JsonStringCase{"CyrillicAfterAsciiBlock", u"01234567Молоко"_s, "\"01234567\xD0\x9C\xD0\xBE\xD0\xBB\xD0\xBE\xD0\xBA\xD0\xBE\""},
    JsonStringCase{"LastTwoByteAndFirstThreeByte", u"\u07FF\u0800"_s, "\"\xDF\xBF\xE0\xA0\x80\""},
    JsonStringCase{"SurrogatePair", u"ab\U0001F600cdefghij"_s, "\"ab\xF0\x9F\x98\x80" "cdefghij\""},
    JsonStringCase{"LoneSurrogate", QString(QChar(0xD800)) + u"01234567"_s, "\"\xEF\xBF\xBD" "01234567\""}),
    test::CaseName());

// Fields in the order given, each value in its JSON form, Windows-1251 text as UTF-8.
TEST(JsonLine, WritesTheFieldsInOrder)
{
    QByteArray out = "x";
    TJsonLine line(out);
    line.Number("Index", -3).Cp1251("Data", "\xCC\xEE\xEB\xEE\xEA\xEE \"1\"").Number("DurationMs", std::nullopt);
    line.Null("Error").Bool("Skipped", true).Text("Name", u"a\tb"_s).End();
    EXPECT_EQ(out, R"(x{"Index":-3,"Data":"Молоко \"1\"","DurationMs":null,"Error":null,"Skipped":true,"Name":"a\tb"})" "\n");
}

} // namespace
} // namespace kestrun
