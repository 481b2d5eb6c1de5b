#pragma once

#include <QStringList>
#include <QWidget>

class QGraphicsOpacityEffect;

// A row of titled segments of which at most one is selected, drawn like a phone's
// segmented control: a rounded outline, the selected segment filled with a blue
// tint and lettered in white, the others light with dark lettering.
//
// Selection index: -1 means no segment is selected. setSelectedSegmentIndex()
// accepts any int; a value outside 0..numberOfSegments()-1 selects nothing (-1),
// so a caller can never leave the control pointing at a segment that does not
// exist. Replacing the titles with fewer segments than the selected index likewise
// drops the selection to -1.
//
// Signals:
// - valueChanged(int): only when the user changes the selection (a click on
//   another segment, or the left/right arrow keys). Clicking the selected segment
//   does nothing.
// - selectedSegmentIndexChanged(int): on every change of the index, by the user or
//   by code.
//
// Alpha (0..1) is drawn through an opacity effect; it does not affect input.
//
// Each segment may have its own tooltip, shown while the pointer rests on it.
//
// With the keyboard focus it wears a focus ring. Assistive technology sees it as
// a group of checkable buttons, one a segment (SegmentedControlAccessible).
class SegmentedControl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QStringList titles READ titles WRITE setTitles)
    Q_PROPERTY(int selectedSegmentIndex READ selectedSegmentIndex WRITE setSelectedSegmentIndex NOTIFY
                   selectedSegmentIndexChanged)
    Q_PROPERTY(qreal alpha READ alpha WRITE setAlpha)

public:
    explicit SegmentedControl(QWidget* parent = nullptr);
    SegmentedControl(const QStringList& titles, QWidget* parent = nullptr);

    void setTitles(const QStringList& titles);
    QStringList titles() const { return mTitles; }
    int numberOfSegments() const { return int(mTitles.size()); }

    int selectedSegmentIndex() const { return mSelected; }
    void setSelectedSegmentIndex(int index);
    // As a click on the segment: valueChanged too when it changes the selection.
    void selectSegmentAsUser(int index);

    // Clamped to 0..1.
    void setAlpha(qreal alpha);
    qreal alpha() const;

    // Tooltip texts by segment; a missing or empty text shows none.
    void setSegmentToolTips(const QStringList& tips) { mToolTips = tips; }
    QString segmentToolTip(int index) const { return mToolTips.value(index); }

    // The segment under a point in the widget's coordinates, or -1 outside them.
    int segmentAt(const QPoint& pos) const;
    // The area of segment `index` in the widget's coordinates (empty if none).
    QRect segmentRect(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void valueChanged(int index);
    void selectedSegmentIndexChanged(int index);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Sets the index (already validated) and emits the signals that apply.
    void changeSelection(int index, bool byUser);

    QStringList mTitles;
    QStringList mToolTips;
    int mSelected = -1;
    QGraphicsOpacityEffect* mOpacity = nullptr;
};
