// Scheme files: the writer's format, the parser's rules and bounds, the list
// and the load by name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "tests/scheme/SchemeTestSupport.h"
#include "tests/support/Fields.h"

namespace schemetest {
namespace {

constexpr int L = SIDE_LEFT, R = SIDE_RIGHT, M = SIDE_MIDDLE;

class SchemeFileTest : public SchemeRootTest {
protected:
    // The file and scheme objects take the program folder when they are
    // made, so only after the card is in place.
    void SetUp() override
    {
        SchemeRootTest::SetUp();
        parsed_ = std::make_unique<CScheme>();
        file_ = std::make_unique<CSchemeFile>();
    }

    std::string SchemeFile(const std::u16string& fileName, int deviceType = 1)
    {
        return root.ReadFile(u"\\SDMMC\\Autorun\\" + qplat::FromUtf8(SchemeFolder(deviceType)) + u"\\" + fileName);
    }

    void PutScheme(const std::u16string& fileName, const std::string& bytes, int deviceType = 1)
    {
        root.WriteFile(u"\\SDMMC\\Autorun\\" + qplat::FromUtf8(SchemeFolder(deviceType)) + u"\\" + fileName, bytes);
    }

    // Parse result and outs of a text.
    int ParseText(const std::string& text, int* items = nullptr, int* cars = nullptr, int* type = nullptr)
    {
        int i = -7, c = -7, t = -7;
        const int result = CSchemeFile::Parse(text.data(), text.size(), parsed_->cars, &i, &c, &t);
        if (items) *items = i;
        if (cars) *cars = c;
        if (type) *type = t;
        return result;
    }

    std::unique_ptr<CScheme> parsed_;
    std::unique_ptr<CSchemeFile> file_;
};

TEST_F(SchemeFileTest, WriterFormat)
{
    ASSERT_EQ(1, file_->Write(2, 2, 5, u"Two cars", 2, 1));
    EXPECT_EQ("Two cars\r\n{\r\n"
              "1d-|||1r||||1l||||2l||||2r||||;\r\n"
              "2d-|||1r||||1l||||2l||||2r||||;\r\n"
              "}\r\nType:5\r\n",
              SchemeFile(u"Two cars.sch"));
    ASSERT_EQ(1, file_->Write(1, 2, 1, u"Middle", 1, 4));
    EXPECT_EQ("Middle\r\n{\r\n1d-|||1m||||2m||||;\r\n}\r\nType:1\r\n", SchemeFile(u"Middle.sch", 4));
    ASSERT_EQ(1, file_->Write(2, 2, 2, u"Both runs", 2, 1));
    EXPECT_EQ("Both runs\r\n{\r\n1d-|||1l||||2l||||;\r\n2d-|||1l||||2l||||;\r\n"
              "2d-|||2r||||1r||||;\r\n1d-|||2r||||1r||||;\r\n}\r\nType:2\r\n",
              SchemeFile(u"Both runs.sch"));
    EXPECT_STREQ("12d-|||", CSchemeFile::FormatCarItem(12));
    EXPECT_STREQ("3m||||", CSchemeFile::FormatWheelItem(3, 3, M));
    EXPECT_STREQ("", CSchemeFile::FormatWheelItem(3, 2, M));
    EXPECT_STREQ("", CSchemeFile::FormatWheelItem(3, 1, L));
    // A card that never held a scheme gets the folder.
    std::filesystem::remove_all(root.Host(u"\\SDMMC\\Autorun\\Schemes"));
    ASSERT_EQ(1, file_->Write(1, 1, 3, u"First", 1, 1));
    EXPECT_EQ("First\r\n{\r\n1d-|||1m||||;\r\n}\r\nType:3\r\n", SchemeFile(u"First.sch"));
    // Writing again replaces the file whole.
    ASSERT_EQ(1, file_->Write(1, 1, 3, u"Two cars", 1, 1));
    EXPECT_EQ("Two cars\r\n{\r\n1d-|||1m||||;\r\n}\r\nType:3\r\n", SchemeFile(u"Two cars.sch"));
}

TEST_F(SchemeFileTest, EveryWrittenSchemeParsesBackToItsCars)
{
    for (int type = 1; type <= 6; ++type) {
        for (int layout = 1; layout <= 3; ++layout) {
            SCOPED_TRACE(testing::Message() << "type " << type << " layout " << layout);
            const bool writable = !(layout == 3 && type <= 2);
            ASSERT_EQ(writable ? 1 : 0, file_->Write(3, 4, type, u"Round", layout, 1));
            if (!writable)
                continue;
            int items = 0, cars = 0, orderType = 0;
            ASSERT_EQ(1, file_->Load(u"Round", parsed_->cars, &items, &cars, &orderType, 1));
            EXPECT_EQ(3 * 4 * layout, items);
            EXPECT_EQ(3, cars);
            EXPECT_EQ(type, orderType);
            for (int c = 0; c < 3; ++c) {
                const SchemeCar& car = parsed_->cars[c];
                EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(car.axleCount, 4), FIELD_IS(car.bogieCount, 2),
                                             FIELD_IS(car.reversed + car.swapped, 0), FIELD_IS(car.name, u"")));
                EXPECT_EQ(qplat::Format(u"%d", c + 1), car.numberText);
                for (int a = 0; a < 4; ++a) {
                    const SchemeAxle& axle = car.axles[a];
                    EXPECT_EQ(layout, axle.layout);
                    EXPECT_EQ(qplat::Format(u"%d", a + 1), axle.name);
                    EXPECT_EQ(std::u16string(u"0"), axle.secondName);
                    EXPECT_EQ(layout != 2, axle.wheels[M].present == 1);
                    EXPECT_EQ(layout != 1, axle.wheels[L].present == 1 && axle.wheels[R].present == 1);
                    for (int s = 0; s < 3; ++s)
                        EXPECT_EQ(axle.wheels[s].present ? qplat::Format(u"%d", a + 1) : u"", axle.wheels[s].name);
                }
            }
            EXPECT_EQ(0, parsed_->cars[3].axleCount);
            // The order built from the file is the one the editor previews.
            parsed_->carCount = cars;
            ASSERT_EQ(1, parsed_->BuildOrder(orderType, cars));
            auto preview = std::make_unique<CScheme>();
            BuildDefaultScheme(preview.get(), 3, 4, type, layout);
            ASSERT_EQ(1, preview->BuildOrder(type, 3));
            EXPECT_EQ(OrderOf(*preview), OrderOf(*parsed_));
        }
    }
}

TEST_F(SchemeFileTest, OrderTypeFromTheFirstFourWheels)
{
    int type = -1;
    // Without a type line: l r gives pattern 2, which names no order.
    ASSERT_EQ(1, ParseText("N\r\n{\r\n1d-|||1l||||1r||||;\r\n}\r\n", nullptr, nullptr, &type));
    EXPECT_EQ(0, type);
    ASSERT_EQ(1, ParseText("N\r\n{\r\n1d-|||1r||||1l||||2l||||2r||||;\r\n}\r\n", nullptr, nullptr, &type));
    EXPECT_EQ(5, type);
    ASSERT_EQ(1, ParseText("N\r\n{\r\n1i-|||1r||||1l||||2l||||2r||||;\r\n}\r\n", nullptr, nullptr, &type));
    EXPECT_EQ(6, type);
    const int table[][3] = {{0, 2, 1}, {8, 2, 1}, {12, 2, 1}, {1, 1, 2}, {3, 1, 2}, {15, 1, 2}, {5, 3, 4},
                            {10, 4, 3}, {6, 6, 5}, {9, 5, 6}, {2, 0, 0}, {16, 0, 0}, {30, 0, 0}, {-1, 0, 0}};
    for (const auto& row : table) {
        EXPECT_EQ(row[1], CSchemeFile::OrderTypeFromPattern(row[0], 0)) << row[0];
        EXPECT_EQ(row[2], CSchemeFile::OrderTypeFromPattern(row[0], 3)) << row[0];
    }
    // A type outside 1..6 is no type; so is a long digit run.
    for (const char* line : {"Type:0", "Type:7", "Type:", "Type:99999999999999999999999"}) {
        ASSERT_EQ(1, ParseText(std::string("N\r\n{\r\n1d-|||1m||||;\r\n}\r\n") + line + "\r\n", nullptr, nullptr, &type));
        EXPECT_EQ(0, type) << line;
    }
    EXPECT_EQ(0, file_->Write(1, 1, 0, u"Zero", 1, 1));
    EXPECT_EQ(0, file_->Write(1, 1, 7, u"Seven", 1, 1));
    // Such a scheme is not loaded: it has no order to walk.
    PutScheme(u"Pattern.sch", "Pattern\r\n{\r\n1d-|||1l||||1r||||;\r\n}\r\n");
    EXPECT_EQ(0, file_->Load(u"Pattern", parsed_->cars, nullptr, nullptr, nullptr, 1));
}

TEST_F(SchemeFileTest, LettersFieldsAndRunsOfOneCar)
{
    int items = 0, cars = 0;
    // Type 1 names a car on two lines; the parse merges them.
    ASSERT_EQ(1, ParseText("N\r\n{\r\n1d-|||1r||||2r||||;\r\n1d-|||2l||||1l||||;\r\n}\r\nType:1\r\n", &items, &cars));
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(items, 4), FIELD_IS(cars, 1), FIELD_IS(parsed_->cars[0].axles[0].layout, 2),
                                 FIELD_IS(parsed_->cars[0].axleCount, 2)));

    // Kind and side letters in either case; fields cut to their widths; the
    // code page's letters widen to Cyrillic.
    const std::string name = "\xCF\xEE\xE5\xE7\xE4 long name beyond nineteen";
    ASSERT_EQ(1, ParseText("N\r\n{\r\n4W-|" + name + "|No 12345678901234567890|3M|Axle long name|Wheel|Second axle|;\r\n}\r\n",
                           &items, &cars));
    const SchemeCar& car = parsed_->cars[3];
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(cars, 4), FIELD_IS(car.reversed, 1), FIELD_IS(car.swapped, 1),
                                 FIELD_IS(std::u16string(car.name).substr(0, 18), u"Поезд long name be"),
                                 FIELD_IS(std::u16string(car.name).size(), 19u),
                                 FIELD_IS(car.numberText, u"No 1234567890123456"), FIELD_IS(car.axleCount, 3),
                                 FIELD_IS(car.axles[2].name, u"Axle long"),
                                 FIELD_IS(car.axles[2].secondName, u"Second ax"),
                                 FIELD_IS(car.axles[2].wheels[M].name, u"Wheel"), FIELD_IS(car.axles[2].layout, 1),
                                 FIELD_IS(parsed_->cars[0].axleCount, 0)));

    // Lines ended by LF alone, as an editor on another system leaves them.
    int type = 0;
    ASSERT_EQ(1, ParseText("N\n{\n1d-|||1m||||;\n2d-|||1m||||;\n}\nType:4\n", &items, &cars, &type));
    EXPECT_EQ(2, cars);
    EXPECT_EQ(4, type);

    ASSERT_EQ(1, ParseText("N\r\n{\r\n1i-|||1L||||;\r\n2S-|||1r||||;\r\n}\r\nType:3\r\n"));
    // Each car's reversed and swapped marks, and its one wheel.
    const SchemeCar* c = parsed_->cars;
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(c[0].reversed, 1), FIELD_IS(c[0].swapped, 0),
                                 FIELD_IS(c[0].axles[0].wheels[L].present, 1), FIELD_IS(c[1].reversed, 0),
                                 FIELD_IS(c[1].swapped, 1), FIELD_IS(c[1].axles[0].wheels[R].present, 1)));
}

TEST_F(SchemeFileTest, BadTextIsRefusedWithinItsBounds)
{
    const std::string good = "N\r\n{\r\n1d-|||1m||||;\r\n";
    struct Case {
        const char* why;
        std::string text;
    } cases[] = {
        {"no opening brace", "N\r\n1d-|||1m||||;\r\n}\r\nType:3\r\n"},
        {"ends before the closing brace", "N\r\n{\r\n1d-|||1m||||;\r\n"},
        {"ends inside a wheel item", "N\r\n{\r\n1d-|||1m||"},
        {"closing brace right after the semicolon", "N\r\n{\r\n1d-|||1m||||;}\r\nType:3\r\n"},
        {"car number 0", good + "0d-|||1m||||;\r\n}\r\n"},
        {"car number 41", good + "41d-|||1m||||;\r\n}\r\n"},
        {"axle number 37", good + "2d-|||37m||||;\r\n}\r\n"},
        {"axle number missing", good + "2d-|||m||||;\r\n}\r\n"},
        {"long digit run", good + "99999999999999999999999999999d-|||1m||||;\r\n}\r\n"},
        {"long axle digits", good + "2d-|||18446744073709551617m||||;\r\n}\r\n"},
        {"unknown kind", good + "2x-|||1m||||;\r\n}\r\n"},
        {"unknown side", good + "2d-|||1q||||;\r\n}\r\n"},
        {"a zero byte ends the text", std::string("N\r\n{\r\n1d-|||1m||||;\r\n\0}\r\nType:3\r\n", 31)},
    };
    for (const Case& c : cases) {
        int items = -7;
        EXPECT_EQ(0, ParseText(c.text, &items)) << c.why;
        EXPECT_EQ(-7, items) << c.why;  // the outs are not written
    }
    // The cars parsed before the fault stay.
    ASSERT_EQ(0, ParseText(good + "41d-|||1m||||;\r\n}\r\n"));
    EXPECT_EQ(1, parsed_->cars[0].axles[0].wheels[M].present);
    EXPECT_EQ(0, CSchemeFile::Parse(nullptr, 10, parsed_->cars, nullptr, nullptr, nullptr));
    EXPECT_EQ(0, CSchemeFile::Parse("{", 1, nullptr, nullptr, nullptr, nullptr));
    // The largest numbers still in range.
    ASSERT_EQ(1, ParseText("N\r\n{\r\n40d-|||36m||||;\r\n}\r\nType:3\r\n"));
    EXPECT_EQ(36, parsed_->cars[39].axleCount);
}

TEST_F(SchemeFileTest, SchemesTooLargeForTheOrderAreNotLoaded)
{
    std::string text = "Huge\r\n{\r\n";
    for (int c = 1; c <= 40; ++c) {
        text += std::to_string(c) + "d-|||";
        for (int a = 1; a <= 36; ++a)
            text += std::to_string(a) + "l||||" + std::to_string(a) + "m||||" + std::to_string(a) + "r||||";
        text += ";\r\n";
    }
    text += "}\r\nType:4\r\n";
    int items = 0;
    ASSERT_EQ(1, ParseText(text, &items));
    EXPECT_EQ(4320, items);
    PutScheme(u"Huge.sch", text);
    EXPECT_EQ(0, file_->Load(u"Huge", parsed_->cars, nullptr, nullptr, nullptr, 1));
    EXPECT_EQ(0, file_->Write(40, 36, 4, u"Huge2", 3, 4));
    EXPECT_EQ(1, file_->Write(40, 36, 4, u"Full", 2, 4));
    EXPECT_EQ(1, file_->Load(u"Full", parsed_->cars, &items, nullptr, nullptr, 4));
    EXPECT_EQ(SCHEME_MAX_ORDER, items);
}

TEST_F(SchemeFileTest, NamesThatAreNoPlainFileNameAreRefused)
{
    const std::u16string refused[] = {u"", u"a\\b", u"a/b", u"..", u"..\\up", u"a*b", u"a?b", u"tab\tname",
                                      u"C:name", std::u16string(50, u'n'), u"名前"};
    for (const std::u16string& name : refused)
        EXPECT_EQ(0, file_->Write(1, 1, 3, name.c_str(), 1, 1)) << qplat::ToUtf8(name);
    EXPECT_EQ(0, file_->Write(1, 1, 3, nullptr, 1, 1));
    for (int args : {0, 1, 2, 3, 4}) {
        const int n = args == 0 ? 0 : args == 1 ? 41 : 1;
        const int m = args == 2 ? 0 : args == 3 ? 37 : 1;
        const int layout = args == 4 ? 4 : 1;
        EXPECT_EQ(0, file_->Write(n, m, 3, u"Bad numbers", layout, 1)) << args;
    }
    file_->List(1);
    EXPECT_EQ(0, file_->GetCount());
    EXPECT_EQ(1, file_->Write(1, 1, 3, std::u16string(49, u'n').c_str(), 1, 1));
    EXPECT_EQ(0, file_->ReadFile(u"..\\param.qav", parsed_->cars, nullptr, nullptr, nullptr, 1));
}

TEST_F(SchemeFileTest, ListShowsWhatLoadFinds)
{
    ASSERT_EQ(1, file_->Write(2, 2, 3, u"Поезд Ёлка", 2, 1));
    EXPECT_EQ(std::string("\xCF\xEE\xE5\xE7\xE4 \xA8\xEB\xEA\xE0\r\n{\r\n"), SchemeFile(u"Поезд Ёлка.sch").substr(0, 15));
    ASSERT_EQ(1, file_->Write(1, 4, 4, u"Plain", 3, 1));
    ASSERT_EQ(1, file_->Write(1, 4, 4, u"Disc", 3, 4));
    PutScheme(u"empty.sch", "");
    PutScheme(u"other name.sch", "Shown name\r\n{\r\n1d-|||1m||||;\r\n}\r\nType:3\r\n");
    PutScheme(u"notes.txt", "Not a scheme\r\n");

    file_->List(1);
    ASSERT_EQ(3, file_->GetCount());
    std::vector<std::pair<std::u16string, std::u16string>> rows;
    for (int i = 0; i < file_->GetCount(); ++i)
        rows.emplace_back(file_->GetEntry(i)->fileName, file_->GetEntry(i)->schemeName);
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows[0], std::make_pair(std::u16string(u"Plain.sch"), std::u16string(u"Plain")));
    EXPECT_EQ(rows[1], std::make_pair(std::u16string(u"other name.sch"), std::u16string(u"Shown name")));
    EXPECT_EQ(rows[2], std::make_pair(std::u16string(u"Поезд Ёлка.sch"), std::u16string(u"Поезд Ёлка")));
    EXPECT_EQ(nullptr, file_->GetEntry(3));

    // Every listed name loads.
    for (const auto& row : rows) {
        int items = 0, cars = 0, type = 0;
        EXPECT_EQ(1, file_->Load(row.second.c_str(), parsed_->cars, &items, &cars, &type, 1)) << qplat::ToUtf8(row.second);
    }
    int items = 0, cars = 0, type = 0;
    ASSERT_EQ(1, file_->Load(u"Поезд Ёлка", parsed_->cars, &items, &cars, &type, 1));
    EXPECT_EQ(8, items);
    EXPECT_EQ(2, cars);
    EXPECT_EQ(3, type);
    EXPECT_EQ(0, file_->Load(u"Disc", parsed_->cars, &items, &cars, &type, 1));
    EXPECT_EQ(0, file_->Load(u"Shown", parsed_->cars, &items, &cars, &type, 1));
    EXPECT_EQ(0, file_->Load(u"other name", parsed_->cars, &items, &cars, &type, 1));

    file_->List(4);
    ASSERT_EQ(1, file_->GetCount());
    EXPECT_EQ(std::u16string(u"Disc"), file_->GetEntry(0)->schemeName);
    EXPECT_EQ(1, file_->Load(u"Disc", parsed_->cars, &items, &cars, &type, 4));
    EXPECT_EQ(12, items);
}

TEST_F(SchemeFileTest, ListStopsAtItsRows)
{
    for (int i = 0; i < SCHEME_LIST_ROWS + 3; ++i)
        PutScheme(qplat::Format(u"s%03d.sch", i), qplat::ToUtf8(qplat::Format(u"S%d\r\n", i)));
    file_->List(1);
    EXPECT_EQ(SCHEME_LIST_ROWS, file_->GetCount());
    EXPECT_EQ(u'S', file_->GetEntry(SCHEME_LIST_ROWS - 1)->schemeName[0]);
}

TEST_F(SchemeFileTest, LongNamesNeverMatchAPrefix)
{
    const std::string fifty(50, 'x');
    PutScheme(u"a.sch", fifty + "yz\r\n{\r\n1d-|||1m||||;\r\n}\r\nType:3\r\n");
    EXPECT_EQ(0, file_->Load(qplat::FromUtf8(fifty).c_str(), parsed_->cars, nullptr, nullptr, nullptr, 1));
    EXPECT_EQ(0, file_->Load(qplat::FromUtf8(fifty + "yz").c_str(), parsed_->cars, nullptr, nullptr, nullptr, 1));
    PutScheme(u"b.sch", fifty + "\r\n{\r\n1d-|||1m||||;\r\n}\r\nType:3\r\n");
    EXPECT_EQ(1, file_->Load(qplat::FromUtf8(fifty).c_str(), parsed_->cars, nullptr, nullptr, nullptr, 1));
    EXPECT_EQ(0, file_->Load(nullptr, parsed_->cars, nullptr, nullptr, nullptr, 1));
}

TEST_F(SchemeFileTest, CurrentNameGoesIntoTheSettings)
{
    ASSERT_EQ(1, file_->SaveCurrentName(u"Train A", 1));
    ASSERT_EQ(1, file_->SaveCurrentName(u"Disc B", 4));
    const ParamBlock block = LoadSettings();
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(block.qavSchemeName, u"Train A"), FIELD_IS(block.qodSchemeName, u"Disc B"),
                                 FIELD_IS(block.qavJournalName, u"Depot")));

    std::filesystem::remove(root.Host(u"\\SDMMC\\Autorun\\param.qav"));
    EXPECT_EQ(0, file_->SaveCurrentName(u"Train C", 1));
    EXPECT_FALSE(root.Exists(u"\\SDMMC\\Autorun\\param.qav"));
}

}  // namespace
}  // namespace schemetest
