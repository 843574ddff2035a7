// Translation of whole windows and menus through the language lookup, with the built-in English
// texts of their controls as keys.
#pragma once

#include <QString>
#include <string_view>

class QMenu;
class QWidget;

namespace pontiq {

// Translate() of a built-in text, as window text.
QString TranslateQ(std::string_view text);
QString TranslateQ(const QString& text);

// Translates the caption of window and the texts of its descendants, once per widget: a widget
// met a second time (also by a later call on an ancestor) is left as it is. Edit boxes, spin
// boxes, date fields, progress bars, item views and IP fields keep their text, and so does their
// inside; a text "..." is kept; combo-box items are translated in place, the selection kept.
// A widget with the property "noTranslate" set to true is skipped with its inside.
void TranslateWindow(QWidget* window);

// Translates every item of menu and of its submenus; separators are skipped. Each item keeps its
// built-in text in a property, so translating a menu again gives the same texts as once.
void TranslateMenu(QMenu* menu);

inline constexpr const char* kNoTranslateProperty = "noTranslate";

}  // namespace pontiq
