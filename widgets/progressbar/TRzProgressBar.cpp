#include "widgets/progressbar/TRzProgressBar.h"

#include "widgets/look/TRzFrameController.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

// The bar as assistive technology sees it: a progress bar whose value is
// the percentage it shows.
class ProgressBarInterface : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit ProgressBarInterface(TRzProgressBar *bar)
        : QAccessibleWidget(bar, QAccessible::ProgressBar)
    {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Value)
            return QString::number(Bar()->Percent()) + QLatin1Char('%');
        return QAccessibleWidget::text(type);
    }

    QVariant currentValue() const override { return Bar()->Percent(); }
    void setCurrentValue(const QVariant &) override {} // the work sets it, not the user
    QVariant maximumValue() const override { return qMax(100, Bar()->Percent()); }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    TRzProgressBar *Bar() const { return static_cast<TRzProgressBar *>(widget()); }
};

QAccessibleInterface *ProgressBarFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TRzProgressBar"))
        return new ProgressBarInterface(static_cast<TRzProgressBar *>(object));
    return nullptr;
}

} // namespace

TRzProgressBar::TRzProgressBar(QWidget *parent) : TRzCustomProgressBar(parent)
{
    QAccessible::installFactory(ProgressBarFactory);
}

void TRzProgressBar::Change(int percent)
{
    Q_EMIT OnChange(this, percent);
    QAccessibleValueChangeEvent event(this, percent);
    QAccessible::updateAccessibility(&event);
}
