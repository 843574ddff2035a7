#include "ui/lists/csv_export.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QSaveFile>
#include <utility>

#include "app/application_app.h"
#include "app/controls/control_id.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/message_box.h"
#include "app/controls/skin_style.h"
#include "app/language.h"
#include "ui/lists/csv_rules.h"
#include "ui/lists/list_columns.h"
#include "ui/lists/list_page.h"

namespace pontiq {

namespace {

constexpr int kExportPageRows = 1000;  // rows per store query while exporting
constexpr int kButtonWidth = 34;
constexpr int kButtonHeight = 26;
constexpr int kCaptionHeight = 17;

CsvFileChooser& Chooser()
{
    static CsvFileChooser chooser;
    return chooser;
}

QString Tr(std::string_view text)
{
    return QString::fromStdString(Translate(text));
}

// Local 8-bit record text as UTF-8.
std::string Utf8(std::string_view local)
{
    return LocalToQString(local).toStdString();
}

bool Exported(const ListColumn& c)
{
    return c.kind == GridColumnKind::Text && (c.field == ListField::Serial || c.text);
}

// The page's name for the default file name: its object name without the "Dlg" ending.
std::string PageName(const CListPage& page)
{
    QString name = page.objectName();
    if (name.endsWith(QLatin1String("Dlg"))) name.chop(3);
    if (name.isEmpty()) name = QStringLiteral("Devices");
    name[0] = name[0].toUpper();
    return name.toStdString();
}

}  // namespace

CsvFileChooser SetCsvFileChooser(CsvFileChooser chooser)
{
    return std::exchange(Chooser(), std::move(chooser));
}

CTButtonPicture* MakeCsvExportButton(CListPage& page)
{
    auto* button = new CTButtonPicture(kIdcListExportCsv, &page);
    const SkinSettings& s = CurrentSettings().skin;
    button->SetCaption(QStringLiteral("CSV"));
    // Drawn like the refresh mark beside it: a bold text in the grid title colours.
    button->SetSkin(QString::fromStdString(s.fontName), 700, kCaptionHeight, ToQColor(s.gridTitleTextColor),
                    ToQColor(s.textDownColor));
    button->setFixedSize(kButtonWidth, kButtonHeight);
    button->setToolTip(Tr("Export to CSV"));
    QObject::connect(button, &QPushButton::clicked, &page,
                     [&page] { ExportCsv(page, QDateTime::currentDateTime()); });
    return button;
}

std::string ListCsvText(const CListPage& page, bool* ok)
{
    std::vector<const ListColumn*> columns;
    std::vector<std::string> header;
    for (const ListColumn& c : page.Columns()) {
        if (!Exported(c)) continue;
        columns.push_back(&c);
        header.push_back(Tr(c.title).toStdString());
    }
    std::string text(kUtf8Bom);
    text += CsvLine(header, true);
    std::vector<std::string> fields(columns.size());
    const bool read = ForEachMatchingDevice(
        page.Loader(), page.SortKey(), !page.SortDescending(), page.SearchText(), kExportPageRows,
        [&](int number, const ap_info_stu& r) {
            for (size_t i = 0; i < columns.size(); ++i) {
                fields[i] = columns[i]->field == ListField::Serial ? std::to_string(number)
                                                                   : Utf8(columns[i]->text(r));
            }
            text += CsvLine(fields, true);
        });
    if (ok) *ok = read;
    return text;
}

void ExportCsv(CListPage& page, const QDateTime& now)
{
    const QDate d = now.date();
    const QTime t = now.time();
    const QString suggested = QDir::home().filePath(QString::fromStdString(
        CsvDefaultFileName(PageName(page), d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second())));
    const CsvFileChooser& chooser = Chooser();
    const QString path = chooser ? chooser(&page, suggested)
                                 : QFileDialog::getSaveFileName(&page, Tr("Export to CSV"), suggested,
                                                                Tr("CSV files") + QStringLiteral(" (*.csv)"));
    if (path.isEmpty()) return;

    bool read = false;
    const std::string text = ListCsvText(page, &read);
    // QSaveFile writes beside the target and renames at the end: a failed export leaves no
    // half-written file and an older file of that name stays as it was.
    QSaveFile file(path);
    const bool written =
        read && file.open(QIODevice::WriteOnly) &&
        file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size()) &&
        file.commit();
    if (!written) {
        ShowMessage(&page, Tr("The file could not be written!") + QStringLiteral("\n") + path,
                    MessageCaption::ApplicationName, MessageIcon::Warning);
    }
}

}  // namespace pontiq
