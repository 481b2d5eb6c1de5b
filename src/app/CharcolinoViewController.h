#pragma once

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <memory>

class CanvasView;
class QWidget;
class SegmentedControl;
namespace Ui {
class CharcolinoViewController;
}

// The main screen's controller. Its view is loaded on first request: the control
// band of the .ui form at the top (toolbar, brush size, brush shape, menu), then
// the canvas below it.
class CharcolinoViewController : public QObject {
    Q_OBJECT
public:
    // The application frame of the phone-sized screen, in points.
    static constexpr QRectF kApplicationFrame{0, 0, 320, 460};
    // Height of the control band above the canvas.
    static constexpr double kBandHeight = 70.0;

    explicit CharcolinoViewController(QObject* parent = nullptr);
    ~CharcolinoViewController() override;

    // The controller's view; the first call loads it and runs viewDidLoad.
    QWidget* view();
    bool isViewLoaded() const { return mView != nullptr; }

    CanvasView* canvas() const { return myview; }
    SegmentedControl* toolbar() const;
    SegmentedControl* brushsize() const;
    SegmentedControl* brushshape() const;

public slots:
    void ToolbarChange();
    void MenuClick();

private:
    void viewDidLoad();
    // Dims the brush controls while the toolbar is in navigation, so they always
    // match the toolbar as it is shown, whoever changed it.
    void updateBrushControlsAlpha();

    std::unique_ptr<Ui::CharcolinoViewController> mUi;
    QPointer<QWidget> mView;
    CanvasView* myview = nullptr;
};
