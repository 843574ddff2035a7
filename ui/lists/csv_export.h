// CSV export of a device list page: every device that matches the page's search (not only the
// page on screen), in the page's sort order, with the columns the page shows; UTF-8 with a
// byte-order mark so spreadsheet programs read the Chinese texts right.
#pragma once

#include <QString>
#include <functional>
#include <string>

class QDateTime;
class QWidget;

namespace pontiq {

class CListPage;
class CTButtonPicture;

inline constexpr int kIdcListExportCsv = 1075;

// Asks for the file to write, starting from `suggested`; an empty result cancels.
using CsvFileChooser = std::function<QString(QWidget* parent, const QString& suggested)>;
// Replaces the file chooser (tests); returns the one before. An empty chooser means the dialog.
CsvFileChooser SetCsvFileChooser(CsvFileChooser chooser);

// The small export button the page puts beside its refresh button; a click runs ExportCsv.
CTButtonPicture* MakeCsvExportButton(CListPage& page);

// The whole file: BOM, the header of the shown columns (translated) and a line per device.
// `ok` is false when the store could not be read (the text then holds what was read).
std::string ListCsvText(const CListPage& page, bool* ok = nullptr);

// The file chooser with "Pontiq_<page>_<date>_<time>.csv" in the home folder, then the file.
// A failure to read or write shows the message and leaves no partial file behind.
void ExportCsv(CListPage& page, const QDateTime& now);

}  // namespace pontiq
