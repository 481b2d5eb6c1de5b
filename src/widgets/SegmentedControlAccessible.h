#pragma once

#include <QAccessibleWidget>
#include <QPointer>

class SegmentedControl;

// What assistive technology sees of a segmented control: a group named after the
// control, with one checkable button a segment, named by its title, checked when
// selected; pressing one selects it as a click does. A control taking no input
// (disabled) shows its segments unavailable.
class SegmentedControlAccessible : public QAccessibleWidget {
public:
    explicit SegmentedControlAccessible(SegmentedControl* control);
    ~SegmentedControlAccessible() override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

    SegmentedControl* control() const;

    // Installs the factory that gives every SegmentedControl this interface; once.
    static void install();
    // Tells assistive technology that segment `index` was checked or unchecked.
    static void notifyChecked(SegmentedControl* control, int index);

private:
    mutable QList<QAccessible::Id> mSegments;  // made on first request
};
