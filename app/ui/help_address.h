// What the help menu hands to the shell. A language file names either a web address or a file
// of the program folder (the offline manual) by its path relative to that folder, with an
// optional "#section"; the relative path becomes a file address in the program folder.
#pragma once

#include <QString>
#include <QUrl>

namespace pontiq {

// `text`: the translated address key. An address with a scheme ("http:", "file:" ...) is taken
// as it stands. A path that names an existing file, relative to `programDir` (or absolute), is
// turned into a file address keeping its "#section". Anything else is taken as it stands, so
// that a missing entry or file fails in the shell as the untranslated key would.
QUrl ResolveHelpAddress(const QString& text, const QString& programDir);

}  // namespace pontiq
