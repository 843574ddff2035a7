#include "app/ui/help_address.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace pontiq {

QUrl ResolveHelpAddress(const QString& text, const QString& programDir)
{
    const QString trimmed = text.trimmed();
    // A scheme of two letters or more; "C:" of a Windows path is not one.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (trimmed.isEmpty() || scheme.match(trimmed).hasMatch()) return QUrl(trimmed);

    const qsizetype hash = trimmed.indexOf(QLatin1Char('#'));
    const QString path = hash < 0 ? trimmed : trimmed.left(hash);
    const QString section = hash < 0 ? QString() : trimmed.mid(hash + 1);
    const QFileInfo file(QDir::isAbsolutePath(path) ? path : QDir(programDir).filePath(path));
    if (path.isEmpty() || !file.isFile()) return QUrl(trimmed);
    QUrl url = QUrl::fromLocalFile(file.absoluteFilePath());
    if (!section.isEmpty()) url.setFragment(section);
    return url;
}

}  // namespace pontiq
