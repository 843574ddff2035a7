// CSV export of the list pages, read back with Python's csv module as a spreadsheet program
// would: every device that matches the search (not only the page on screen), the columns shown,
// Chinese names intact, and nothing written when the file cannot be.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_edit.h"
#include "tests/gui/status_test_support.h"
#include "ui/lists/csv_export.h"

namespace pontiq {
namespace {

using test::StatusPageTest;

// Names that are hard on a CSV file: Chinese, separators, quotes, a line break, a formula.
const char* const kNames[] = {"屋顶-东",    "北塔,2号",           "say \"hi\"",
                              "两行\n名称", "=cmd|' /C calc'!A0", "空 格"};

class CsvExportTest : public StatusPageTest {
protected:
    void SetUp() override
    {
        StatusPageTest::SetUp();
        ASSERT_TRUE(folder_.isValid());
        previous_ = SetCsvFileChooser([this](QWidget*, const QString& suggested) {
            suggestions_.push_back(suggested);
            return answer_;
        });
    }
    void TearDown() override
    {
        SetCsvFileChooser(previous_);
        StatusPageTest::TearDown();
    }

    void StoreNamed(int count)
    {
        for (int i = 0; i < count; ++i) {
            ap_info_stu r = test::StoredDevice(i);
            r.ap_name_len =
                SetFieldText(r.ap_name, std::string(kNames[i % std::size(kNames)]) + std::to_string(i));
            Store(r);
        }
    }

    // The file as Python's csv module reads it (utf-8-sig: the BOM must be there and is dropped),
    // one JSON array per row.
    std::vector<std::string> ReadWithPython(const QString& path, bool* bom)
    {
        const std::string script = folder_.filePath("read.py").toStdString();
        std::ofstream(script) << "import csv,json,sys\n"
                                 "raw=open(sys.argv[1],'rb').read()\n"
                                 "print(json.dumps(raw.startswith(b'\\xef\\xbb\\xbf')))\n"
                                 "with open(sys.argv[1],newline='',encoding='utf-8-sig') as f:\n"
                                 "    for row in csv.reader(f): print(json.dumps(row,ensure_ascii=False))\n";
        std::vector<std::string> lines;
        std::FILE* p = popen(("python3 " + script + " '" + path.toStdString() + "'").c_str(), "r");
        if (!p) return lines;
        std::string text;
        char chunk[65536];
        while (size_t n = std::fread(chunk, 1, sizeof(chunk), p)) text.append(chunk, n);
        EXPECT_EQ(pclose(p), 0) << text;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        if (!lines.empty()) {
            *bom = lines.front() == "true";
            lines.erase(lines.begin());
        }
        return lines;
    }

    static std::string JsonRow(const std::vector<std::string>& cells)
    {
        // The few escapes the names above need in Python's json.dumps form.
        std::string out = "[";
        for (size_t i = 0; i < cells.size(); ++i) {
            if (i) out += ", ";
            out += "\"";
            for (char c : cells[i]) {
                if (c == '"' || c == '\\') out += '\\';
                if (c == '\n') {
                    out += "\\n";
                    continue;
                }
                out += c;
            }
            out += "\"";
        }
        return out + "]";
    }

    QTemporaryDir folder_;
    QString answer_;
    std::vector<QString> suggestions_;
    CsvFileChooser previous_;
};

TEST_F(CsvExportTest, ThousandDevicesReadBackWithEveryRowAndChineseNamesIntact)
{
    StoreNamed(1000);
    page->RefreshPage(1);
    ASSERT_EQ(page->RowCount(), 30);  // the page on screen holds 30 of them

    answer_ = folder_.filePath("status.csv");
    ASSERT_NE(page->ExportButton(), nullptr);
    page->ExportButton()->click();
    ASSERT_EQ(suggestions_.size(), 1u);
    EXPECT_TRUE(QFileInfo(suggestions_[0]).fileName().startsWith(QStringLiteral("Pontiq_Status_")));
    EXPECT_TRUE(suggestions_[0].endsWith(QStringLiteral(".csv")));

    bool bom = false;
    const auto rows = ReadWithPython(answer_, &bom);
    EXPECT_TRUE(bom);
    ASSERT_EQ(rows.size(), 1001u);
    // The header: the titles of the text columns the page shows, without tick and picture columns.
    std::vector<std::string> header;
    for (const ListColumn& c : page->Columns()) {
        if (c.kind == GridColumnKind::Text && (c.field == ListField::Serial || c.text))
            header.push_back(c.title);
    }
    EXPECT_EQ(rows[0], JsonRow(header));

    // Every device once, numbered in sort order, its name as stored (a formula made harmless).
    std::set<std::string> names;
    for (size_t i = 1; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].rfind("[\"" + std::to_string(i) + "\", ", 0), 0u) << rows[i];
        names.insert(rows[i]);
    }
    EXPECT_EQ(names.size(), 1000u);
    const std::string all = [&] {
        std::string s;
        for (const auto& r : rows) s += r + "\n";
        return s;
    }();
    for (int i : {0, 1, 2, 3, 5, 999}) {
        std::string name = std::string(kNames[i % std::size(kNames)]) + std::to_string(i);
        EXPECT_NE(all.find(JsonRow({name}).substr(1, JsonRow({name}).size() - 2)), std::string::npos) << name;
    }
    EXPECT_NE(all.find("\"'=cmd|' /C calc'!A04\""), std::string::npos) << "formula not guarded";
    EXPECT_TRUE(messages.requests.empty());
}

TEST_F(CsvExportTest, OnlyTheDevicesThatMatchTheSearch)
{
    StoreNamed(300);
    page->SearchEdit()->setText(QStringLiteral("北塔"));
    QApplication::processEvents();
    const std::string text = ListCsvText(*page);
    // kNames[1] is every sixth device: 50 of 300.
    size_t lines = 0;
    for (char c : text) lines += c == '\n';
    EXPECT_EQ(lines, 1u + 50u);
    EXPECT_EQ(text.find("屋顶"), std::string::npos);
}

TEST_F(CsvExportTest, CancelWritesNothingAndAFailureLeavesNoFile)
{
    StoreNamed(3);
    answer_.clear();  // the chooser was cancelled
    page->ExportButton()->click();
    EXPECT_TRUE(messages.requests.empty());
    EXPECT_TRUE(QDir(folder_.path()).entryList(QDir::Files).isEmpty());

    answer_ = folder_.filePath("missing/folder/out.csv");
    page->ExportButton()->click();
    ASSERT_EQ(messages.requests.size(), 1u);
    EXPECT_TRUE(messages.requests[0].text.startsWith(QStringLiteral("The file could not be written!")));
    EXPECT_FALSE(QFileInfo::exists(answer_));

    // A failing store query: the message, and an older file of that name is kept as it was.
    answer_ = folder_.filePath("kept.csv");
    {
        QFile old(answer_);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    page->SetPageLoader(
        [](int, std::vector<ap_info_stu>&, int&, int&, int, int, bool, std::string_view) { return false; });
    page->ExportButton()->click();
    EXPECT_EQ(messages.requests.size(), 2u);
    QFile kept(answer_);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("old"));
}

}  // namespace
}  // namespace pontiq
