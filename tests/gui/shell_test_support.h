// Helpers of the shell's window tests: a program folder with chosen settings and language files,
// a page that records what the container asks of it, and an event pump with a deadline.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/language.h"
#include "app/ui/page.h"
#include "tests/app/temp_dir.h"

// Readable QString values in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace pontiq::test {

// A program folder; the language in force is the one its Languages folder gives for `locale`.
class ProgramFolder {
public:
    TempDir dir;

    void WriteLanguage(uint32_t locale, const std::string& name, const std::string& body) const
    {
        dir.Write("Languages/Language.ini", "[LCID]\n" + std::to_string(locale) + "=" + name + "\n");
        dir.Write("Languages/" + name + ".lng", "[ProgramOutStr]\n" + body);
    }
    // Loads the folder's language as start-up does.
    void UseLanguage(uint32_t locale) const { LoadLanguage(dir.Dir(), locale); }
};

// Puts the built-in texts back in force: no language file.
inline void ResetLanguage()
{
    TempDir empty;
    LoadLanguage(empty.Dir(), kLocaleEnglishUs);
}

// Pumps events until done() or the time is up; returns done().
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

inline void PumpFor(int ms)
{
    PumpUntil([] { return false; }, ms);
}

class RecordingPage : public QWidget, public PageOperations {
public:
    RecordingPage(int id, QWidget* parent) : QWidget(parent), pageId(id) { resize(100, 100); }

    void RefreshPage() override { ++refreshes; }
    void GoToPage(int page) override { pagesAsked.push_back(page); }

    int pageId;
    int refreshes = 0;
    std::vector<int> pagesAsked;
};

inline QWidget* CreateRecordingPage(int pageId, QWidget* parent)
{
    return new RecordingPage(pageId, parent);
}

}  // namespace pontiq::test
