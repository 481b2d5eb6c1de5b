#include "widgets/SegmentedControlAccessible.h"

#include <QAccessibleActionInterface>

#include "widgets/SegmentedControl.h"

namespace {

// One segment: a checkable button inside the control.
class SegmentAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    SegmentAccessible(SegmentedControl* control, int index) : mControl(control), mIndex(index) {}

    bool isValid() const override { return mControl && mIndex < mControl->numberOfSegments(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return mControl ? mControl->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(mControl); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::CheckBox; }
    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return QString();
        switch (t) {
        case QAccessible::Name:
            return mControl->titles().value(mIndex);
        case QAccessible::Description:
        case QAccessible::Help:
            return mControl->segmentToolTip(mIndex);
        default:
            return QString();
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        const QRect r = mControl->segmentRect(mIndex);
        return QRect(mControl->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.checkable = true;
        s.checked = mControl->selectedSegmentIndex() == mIndex;
        s.focusable = true;
        s.disabled = !mControl->isEnabled();
        s.invisible = !mControl->isVisible();
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && isValid() && mControl->isEnabled())
            mControl->selectSegmentAsUser(mIndex);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<SegmentedControl> mControl;
    int mIndex;
};

QAccessibleInterface* factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("SegmentedControl") && object && object->isWidgetType())
        return new SegmentedControlAccessible(static_cast<SegmentedControl*>(object));
    return nullptr;
}

}  // namespace

SegmentedControlAccessible::SegmentedControlAccessible(SegmentedControl* control)
    : QAccessibleWidget(control, QAccessible::Grouping)
{
}

SegmentedControlAccessible::~SegmentedControlAccessible()
{
    for (QAccessible::Id id : mSegments)
        QAccessible::deleteAccessibleInterface(id);
}

SegmentedControl* SegmentedControlAccessible::control() const { return static_cast<SegmentedControl*>(object()); }

int SegmentedControlAccessible::childCount() const { return control()->numberOfSegments(); }

QAccessibleInterface* SegmentedControlAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    while (mSegments.size() <= index)
        mSegments.append(
            QAccessible::registerAccessibleInterface(new SegmentAccessible(control(), int(mSegments.size()))));
    return QAccessible::accessibleInterface(mSegments.at(index));
}

int SegmentedControlAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    for (int i = 0; i < childCount(); ++i)
        if (this->child(i) == child)
            return i;
    return -1;
}

QAccessibleInterface* SegmentedControlAccessible::childAt(int x, int y) const
{
    const int index = control()->segmentAt(control()->mapFromGlobal(QPoint(x, y)));
    return child(index);
}

void SegmentedControlAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(&factory);
        return true;
    }();
    (void)installed;
}

void SegmentedControlAccessible::notifyChecked(SegmentedControl* control, int index)
{
    if (index < 0 || !QAccessible::isActive())
        return;
    QAccessibleInterface* group = QAccessible::queryAccessibleInterface(control);
    QAccessibleInterface* segment = group ? group->child(index) : nullptr;
    if (!segment)
        return;
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(segment, changed);
    QAccessible::updateAccessibility(&event);
}
