#include "app/BrushPopup.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>

#include "app/BrushSizes.h"
#include "app/ShortcutTable.h"

namespace {

QSlider* slider(int minimum, int maximum, const QString& name, const QString& tip)
{
    auto* s = new QSlider(Qt::Horizontal);
    s->setRange(minimum, maximum);
    s->setObjectName(name);
    s->setToolTip(tip);
    s->setAccessibleName(tip);
    s->setMinimumWidth(140);
    return s;
}

}  // namespace

BrushPopup::BrushPopup(QWidget* parent) : QFrame(parent, Qt::Popup)
{
    using T = ShortcutTable;
    setObjectName(QStringLiteral("brushPopup"));
    setFrameShape(QFrame::StyledPanel);
    mSize = slider(0, BrushSizes::kSliderSteps, QStringLiteral("brushSizeSlider"),
                   tr("Brush size (%1 smaller, %2 larger)")
                       .arg(T::keyText(T::SmallerRadius), T::keyText(T::LargerRadius)));
    mHardness = slider(0, 4, QStringLiteral("brushHardnessSlider"),
                       tr("Edge hardness (%1 softer, %2 harder)")
                           .arg(T::keyText(T::SofterBrush), T::keyText(T::HarderBrush)));
    mHardness->setTickPosition(QSlider::TicksBelow);
    mHardness->setPageStep(1);
    mStrength = slider(1, 10, QStringLiteral("brushStrengthSlider"),
                       tr("Strength of a stroke (%1 lower, %2 higher)")
                           .arg(T::keyText(T::WeakerStroke), T::keyText(T::StrongerStroke)));
    mStrength->setTickPosition(QSlider::TicksBelow);
    mStrength->setPageStep(1);
    mPressure = new QCheckBox(tr("Pen pressure sets strength"));
    mPressure->setObjectName(QStringLiteral("brushPressureBox"));
    mSizeValue = new QLabel;
    mHardnessValue = new QLabel;
    mStrengthValue = new QLabel;
    for (QLabel* value : {mSizeValue, mHardnessValue, mStrengthValue})
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("200.0 pt")));

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(10, 8, 10, 8);
    const auto row = [grid](int r, const QString& title, QSlider* s, QLabel* value) {
        auto* label = new QLabel(title);
        label->setBuddy(s);
        grid->addWidget(label, r, 0);
        grid->addWidget(s, r, 1);
        grid->addWidget(value, r, 2);
    };
    row(0, tr("Size"), mSize, mSizeValue);
    row(1, tr("Hardness"), mHardness, mHardnessValue);
    row(2, tr("Strength"), mStrength, mStrengthValue);
    grid->addWidget(mPressure, 3, 0, 1, 3);

    for (QSlider* s : {mSize, mHardness, mStrength})
        connect(s, &QSlider::valueChanged, this, &BrushPopup::readControls);
    connect(mPressure, &QCheckBox::toggled, this, &BrushPopup::readControls);
}

void BrushPopup::setStyle(const BrushStyle& style, double radiusPoints)
{
    mShowing = true;
    mStyle = style;
    mStyle.radiusPoints = radiusPoints;
    mSize->setValue(BrushSizes::sliderPosition(radiusPoints));
    mHardness->setValue(style.hardness / 25);
    mStrength->setValue(style.strength / 10);
    mPressure->setChecked(style.pressureSetsStrength);
    showValues();
    mShowing = false;
}

void BrushPopup::readControls()
{
    if (mShowing)
        return;
    BrushStyle style = mStyle;
    // The size moves only when its slider did, so a radius between slider steps
    // (from the keys) stays as it is.
    if (BrushSizes::sliderPosition(mStyle.radiusPoints) != mSize->value())
        style.radiusPoints = BrushSizes::radiusAtSlider(mSize->value());
    style.hardness = mHardness->value() * 25;
    style.strength = mStrength->value() * 10;
    style.pressureSetsStrength = mPressure->isChecked();
    if (style == mStyle)
        return;
    mStyle = style;
    showValues();
    emit styleEdited(mStyle);
}

void BrushPopup::showValues()
{
    mSizeValue->setText(QStringLiteral("%1 pt").arg(mStyle.radiusPoints, 0, 'f', 1));
    mHardnessValue->setText(QStringLiteral("%1 %").arg(mStyle.hardness));
    mStrengthValue->setText(QStringLiteral("%1 %").arg(mStyle.strength));
}
