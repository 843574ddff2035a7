#include "app/ui/translate_window.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextEdit>
#include <QWidget>
#include <string>

#include "app/language.h"

namespace pontiq {

namespace {

// The translated mark lives on the widget itself, so a new widget that happens to get the
// address of a destroyed one is still translated.
constexpr const char* kTranslatedProperty = "pontiqTranslated";
constexpr const char* kSourceTextProperty = "pontiqSourceText";
constexpr int kCaptionLimit = 2047;
constexpr int kTextLimit = 1023;

bool MarkTranslated(QObject* object)
{
    if (object->property(kTranslatedProperty).toBool()) return false;
    object->setProperty(kTranslatedProperty, true);
    return true;
}

bool IsIpField(const QWidget* widget)
{
    if (widget->property("ipField").toBool()) return true;
    const QString className = QString::fromLatin1(widget->metaObject()->className());
    return className.contains(QLatin1String("IpAddress"), Qt::CaseInsensitive) ||
           className.contains(QLatin1String("IPAddress"));
}

// Controls whose text is the user's data, not a caption.
bool KeepsItsText(const QWidget* widget)
{
    return widget->property(kNoTranslateProperty).toBool() || qobject_cast<const QLineEdit*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget) || qobject_cast<const QProgressBar*>(widget) ||
           qobject_cast<const QAbstractItemView*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
           qobject_cast<const QPlainTextEdit*>(widget) || IsIpField(widget);
}

void TranslateComboItems(QComboBox* combo)
{
    const int selected = combo->currentIndex();
    const QSignalBlocker block(combo);
    for (int i = 0; i < combo->count(); ++i) {
        const QString translated = TranslateQ(combo->itemText(i));
        const QVariant data = combo->itemData(i);
        const QIcon icon = combo->itemIcon(i);
        combo->removeItem(i);
        combo->insertItem(i, icon, translated, data);
    }
    if (selected >= 0 && selected < combo->count()) combo->setCurrentIndex(selected);
}

// The text a control shows as its caption, and how to set it. Controls of other kinds have none.
const char* CaptionProperty(const QWidget* widget)
{
    if (qobject_cast<const QGroupBox*>(widget)) return "title";
    if (qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QLabel*>(widget)) return "text";
    // Skinned controls that are neither, but declare a text property.
    const int index = widget->metaObject()->indexOfProperty("text");
    if (index >= 0) {
        const QMetaProperty property = widget->metaObject()->property(index);
        if (property.isWritable() && property.metaType().id() == QMetaType::QString) return "text";
    }
    return nullptr;
}

void TranslateDescendants(QWidget* parent)
{
    for (QObject* object : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(object);
        if (!widget || !MarkTranslated(widget)) continue;
        if (KeepsItsText(widget)) continue;  // and its inside (the parts of an IP field)
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            TranslateComboItems(combo);
        } else if (const char* property = CaptionProperty(widget)) {
            const QString text = widget->property(property).toString().left(kTextLimit);
            if (!text.isEmpty() && text != QLatin1String("...")) {
                const QString translated = TranslateQ(text);
                if (!translated.isEmpty()) widget->setProperty(property, translated);
            }
        }
        TranslateDescendants(widget);
    }
}

}  // namespace

QString TranslateQ(std::string_view text)
{
    return QString::fromStdString(Translate(text));
}

QString TranslateQ(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return TranslateQ(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

void TranslateWindow(QWidget* window)
{
    if (!window || !MarkTranslated(window) || KeepsItsText(window)) return;
    // A window's caption is its title; a control given on its own has its text as caption.
    const char* property = window->isWindow() ? "windowTitle" : CaptionProperty(window);
    if (property) {
        const QString caption = window->property(property).toString().left(kCaptionLimit);
        if (!caption.isEmpty()) {
            const QString translated = TranslateQ(caption);
            if (!translated.isEmpty() && translated != caption) window->setProperty(property, translated);
        }
    }
    TranslateDescendants(window);
}

void TranslateMenu(QMenu* menu)
{
    if (!menu) return;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        QVariant source = action->property(kSourceTextProperty);
        if (!source.isValid()) {
            source = action->text().left(kCaptionLimit);
            action->setProperty(kSourceTextProperty, source);
        }
        const QString translated = TranslateQ(source.toString());
        if (!translated.isEmpty() && translated != action->text()) action->setText(translated);
        // The submenu stays attached to its action; only the text changes.
        if (QMenu* sub = action->menu()) TranslateMenu(sub);
    }
}

}  // namespace pontiq
