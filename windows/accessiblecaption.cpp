#include "windows/accessiblecaption.h"

#include <QAccessibleWidget>
#include <QLabel>

namespace {

const char CaptionProperty[] = "accessibleCaption";

class CaptionedLabel : public QAccessibleWidget
{
public:
    explicit CaptionedLabel(QLabel *label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        const auto *label = static_cast<const QLabel *>(widget());
        const QString caption = label->property(CaptionProperty).toString();
        const QString shown = label->text().trimmed();
        return shown.isEmpty() ? caption : caption + QLatin1String(": ") + shown;
    }
};

QAccessibleInterface *captionFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("QLabel") && object && object->property(CaptionProperty).isValid())
        return new CaptionedLabel(static_cast<QLabel *>(object));
    return nullptr;
}

} // namespace

void AccessibleCaption::set(QLabel *label, const QString &caption)
{
    static const bool installed = [] {
        QAccessible::installFactory(captionFactory);
        return true;
    }();
    Q_UNUSED(installed);
    // A setText before now may have made Qt's plain label interface; drop it
    // so the next question gets the captioned one.
    if (QAccessibleInterface *old = QAccessible::queryAccessibleInterface(label))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(old));
    label->setProperty(CaptionProperty, caption);
}
