#pragma once

#include <QFrame>

#include "canvas/BrushStyle.h"

class QCheckBox;
class QLabel;
class QSlider;

// The brush's settings beyond the band's segmented controls, in a small popup
// under the band's Brush button: size (2 to 200 points, evenly in ratio),
// hardness (0 to 100 % in quarters), strength (10 to 100 % in tenths) and
// whether a pen's pressure sets the strength. Every change is told at once.
class BrushPopup : public QFrame {
    Q_OBJECT
public:
    explicit BrushPopup(QWidget* parent = nullptr);

    // Shows `style`, its radius given in points (the preset's when the style has
    // none), without telling it back.
    void setStyle(const BrushStyle& style, double radiusPoints);
    BrushStyle style() const { return mStyle; }

    QSlider* sizeSlider() const { return mSize; }
    QSlider* hardnessSlider() const { return mHardness; }
    QSlider* strengthSlider() const { return mStrength; }
    QCheckBox* pressureBox() const { return mPressure; }

signals:
    // The style as the user left it; radiusPoints is always set.
    void styleEdited(const BrushStyle& style);

private:
    void readControls();
    void showValues();

    BrushStyle mStyle;
    bool mShowing = false;
    QSlider* mSize = nullptr;
    QSlider* mHardness = nullptr;
    QSlider* mStrength = nullptr;
    QCheckBox* mPressure = nullptr;
    QLabel* mSizeValue = nullptr;
    QLabel* mHardnessValue = nullptr;
    QLabel* mStrengthValue = nullptr;
};
