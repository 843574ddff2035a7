// CSV writing of the list export and pontiq-cli: quoting, the formula guard, the default file
// name, and the walk over every page of a query.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/value_format.h"
#include "ui/lists/csv_rules.h"

namespace pontiq {
namespace {

TEST(CsvRules, QuotesWhatNeedsIt)
{
    const struct {
        const char* text;
        bool guard;
        const char* want;
    } cases[] = {
        {"plain", false, "plain"},
        {"", false, ""},
        {"a,b", false, "\"a,b\""},
        {"say \"hi\"", false, "\"say \"\"hi\"\"\""},
        {"two\nlines", false, "\"two\nlines\""},
        {"cr\r", false, "\"cr\r\""},
        {" padded ", false, "\" padded \""},
        {"屋顶", false, "屋顶"},
        {"=1+1", false, "=1+1"},  // the CLI's CSV keeps texts as they are
        {"=HYPERLINK(\"x\")", true, "\"'=HYPERLINK(\"\"x\"\")\""},
        {"+1", true, "'+1"},
        {"-1", true, "'-1"},
        {"@SUM(A1)", true, "'@SUM(A1)"},
        {"\tx", true, "'\tx"},
        {"a=b", true, "a=b"},
    };
    for (const auto& c : cases) EXPECT_EQ(CsvField(c.text, c.guard), c.want) << c.text;
    EXPECT_EQ(CsvLine({"a", "b,c", ""}), "a,\"b,c\",\r\n");
    EXPECT_EQ(CsvLine({}), "\r\n");
}

TEST(CsvRules, DefaultFileName)
{
    EXPECT_EQ(CsvDefaultFileName("Status", 2026, 12, 10, 9, 5, 7), "Pontiq_Status_20261210_090507.csv");
    EXPECT_EQ(CsvDefaultFileName("Device list/2", 2026, 1, 2, 3, 4, 5),
              "Pontiq_Device_list_2_20260102_030405.csv");
}

// A query over `total` numbered devices; search keeps those whose number text holds it.
struct FakeQuery {
    int total = 0;
    int calls = 0;
    bool failOnPage2 = false;

    bool operator()(int, std::vector<ap_info_stu>& list, int& pageCount, int& onlineCount, int pageSize,
                    int page, bool, std::string_view search)
    {
        ++calls;
        if (failOnPage2 && page == 2) return false;
        std::vector<int> matching;
        for (int i = 1; i <= total; ++i)
            if (std::to_string(i).find(search) != std::string::npos) matching.push_back(i);
        pageCount = static_cast<int>((matching.size() + pageSize - 1) / pageSize);
        onlineCount += static_cast<int>(matching.size());
        for (size_t k = static_cast<size_t>((page - 1) * pageSize);
             k < matching.size() && k < static_cast<size_t>(page * pageSize); ++k) {
            ap_info_stu r{};
            r.ap_name_len = SetFieldText(r.ap_name, std::to_string(matching[k]));
            list.push_back(r);
        }
        return true;
    }
};

TEST(CsvRules, WalksEveryPageOfTheSearch)
{
    const struct {
        int total;
        int pageSize;
        const char* search;
        size_t rows;
    } cases[] = {
        {0, 10, "", 0},        {10, 10, "", 10},  // exactly one page
        {1001, 100, "", 1001},                    // a partial last page
        {1000, 100, "7", 271},                    // only what matches the search, across pages
        {5, 0, "", 5},                            // a page size below 1 reads one row at a time
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.total) + "/" + c.search);
        FakeQuery fake{c.total};
        std::vector<std::string> names;
        std::vector<int> numbers;
        ASSERT_TRUE(ForEachMatchingDevice(std::ref(fake), 1, true, c.search, c.pageSize,
                                          [&](int number, const ap_info_stu& r) {
                                              numbers.push_back(number);
                                              names.emplace_back(FieldText(r.ap_name, r.ap_name_len));
                                          }));
        EXPECT_EQ(names.size(), c.rows);
        for (size_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], static_cast<int>(i + 1));
        std::vector<std::string> unique(names);
        std::sort(unique.begin(), unique.end());
        EXPECT_EQ(std::unique(unique.begin(), unique.end()), unique.end()) << "a row read twice";
    }

    FakeQuery failing{50, 0, true};
    int rows = 0;
    EXPECT_FALSE(
        ForEachMatchingDevice(std::ref(failing), 1, true, "", 10, [&](int, const ap_info_stu&) { ++rows; }));
    EXPECT_EQ(rows, 10);
}

}  // namespace
}  // namespace pontiq
