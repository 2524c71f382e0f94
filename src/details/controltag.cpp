#include "details/controltag.h"

#include <QComboBox>
#include <QObject>
#include <QVariant>

namespace quillor {

namespace {
constexpr char kTagProperty[] = "Tag";
}

void setTag(QObject *control, const QString &value) { control->setProperty(kTagProperty, value); }

QString tag(const QObject *control) { return control->property(kTagProperty).toString(); }

QString indexedName(const QString &name, int index) { return QStringLiteral("%1(%2)").arg(name).arg(index); }

bool selectComboText(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text, Qt::MatchFixedString);
    combo->setCurrentIndex(index);
    combo->setPlaceholderText(index < 0 ? text : QString());
    return index >= 0;
}

bool selectComboIndex(QComboBox *combo, int index)
{
    const bool inList = index >= 0 && index < combo->count();
    combo->setPlaceholderText(QString());
    combo->setCurrentIndex(inList ? index : -1);
    return inList;
}

std::optional<int> storedPosition(const QComboBox *combo)
{
    const int index = combo->currentIndex();
    return index < 0 ? std::nullopt : std::optional<int>(index);
}

void clearComboSelection(QComboBox *combo)
{
    combo->setPlaceholderText(QString());
    combo->setCurrentIndex(-1);
}

} // namespace quillor
