// Several fingers painting in one stroke: each continues its own line from its
// own last position, whatever the others do and in whatever order an event lists
// them. Checked against the same lines drawn one finger at a time: the brush
// copies its source without blending, so the order of the dabs does not matter
// and any line joining two fingers shows.
#include <gtest/gtest.h>

#include <QPointingDevice>
#include <QTest>
#include <QWidget>

#include <cstdint>
#include <map>
#include <vector>

#include "widgets/SegmentedControl.h"
#include "widgets/TouchEvent.h"
#include "support/ControlledCanvas.h"
#include "support/CanvasTestAccess.h"
#include "support/GlContextTest.h"
#include "support/PaintTestCanvas.h"

namespace {

QPointingDevice* touchScreen()
{
    static QPointingDevice* device = QTest::createTouchDevice();
    return device;
}

constexpr int kColourSketch = 1;

enum Action { Press, Move, Stay, Release };

struct Touch {
    int finger;
    Action action;
    QPoint at;  // for Stay: unused
};
using Event = std::vector<Touch>;

class TwoFingerPainting : public ::testing::Test, protected ControlledCanvas {
protected:

    void SetUp() override
    {
        if (!makeCanvas()) {
            NO_GL_CONTEXT();
        }
        toolbar.setSelectedSegmentIndex(kColourSketch);
        size.setSelectedSegmentIndex(0);
        shape.setSelectedSegmentIndex(0);
        window.show();
    }

    void install()
    {
        ASSERT_TRUE(CanvasTestAccess::installProject(*canvas, 512, 512, {512, 512}, PaintTestCanvas::patternPixel));
        CanvasTestAccess::setView(*canvas, 160, 195, 1.0f);
        canvas->resetHistory();
    }

    std::vector<std::uint8_t> working() const
    {
        const std::uint8_t* w = canvas->workingBuffer();
        return std::vector<std::uint8_t>(w, w + std::size_t(512) * 512 * 4);
    }

    // Through the touch screen, as Qt delivers it.
    void play(const std::vector<Event>& events)
    {
        auto sequence = QTest::touchEvent(canvas, touchScreen(), false);
        for (const Event& event : events) {
            for (const Touch& t : event) {
                if (t.action == Press)
                    sequence.press(t.finger, t.at);
                else if (t.action == Move)
                    sequence.move(t.finger, t.at);
                else if (t.action == Stay)
                    sequence.stationary(t.finger);
                else
                    sequence.release(t.finger, t.at);
            }
            sequence.commit();
        }
    }

    // Each finger's line drawn alone, without touches: a dab where it was put
    // down, then the dabs of each segment from one position of it to the next.
    void drawOneAtATime(const std::vector<Event>& events)
    {
        std::map<int, std::vector<QPoint>> lines;
        for (const Event& event : events)
            for (const Touch& t : event)
                if (t.action == Press || t.action == Move)
                    lines[t.finger].push_back(t.at);
        const auto point = [](QPoint p) { return FloatPoint{float(p.x()), float(p.y())}; };
        for (const auto& [finger, line] : lines) {
            canvas->DrawCanvas(point(line.front()), kColourSketch);
            for (std::size_t i = 1; i < line.size(); ++i)
                canvas->DrawSegment(point(line[i - 1]), point(line[i]), kColourSketch);
        }
    }
};

}  // namespace

TEST_F(TwoFingerPainting, EachFingerContinuesItsOwnLine)
{
    struct Case {
        const char* name;
        std::vector<Event> events;
    };
    const Case cases[] = {
        {"two fingers down together, moving together",
         {{{0, Press, {40, 60}}, {1, Press, {40, 300}}},
          {{0, Move, {120, 60}}, {1, Move, {120, 280}}},
          {{0, Move, {200, 90}}, {1, Move, {200, 320}}},
          {{0, Move, {260, 70}}, {1, Move, {280, 250}}},
          {{0, Release, {260, 70}}, {1, Release, {280, 250}}}}},
        {"one resting while the other moves, then both",
         {{{0, Press, {60, 100}}, {1, Press, {250, 100}}},
          {{0, Stay, {}}, {1, Move, {250, 300}}},
          {{0, Move, {60, 300}}, {1, Stay, {}}},
          {{0, Move, {150, 350}}, {1, Move, {160, 140}}},
          {{0, Release, {150, 350}}, {1, Release, {160, 140}}}}},
        {"a finger joins, the first leaves, a third joins",
         {{{0, Press, {40, 60}}},
          {{0, Move, {120, 60}}, {1, Press, {60, 300}}},
          {{0, Move, {200, 90}}, {1, Move, {140, 280}}},
          {{0, Release, {200, 90}}, {1, Move, {220, 320}}},
          {{1, Move, {260, 200}}, {2, Press, {250, 100}}},
          {{1, Stay, {}}, {2, Move, {300, 150}}},
          {{1, Release, {260, 200}}, {2, Release, {300, 150}}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        install();
        play(c.events);
        const std::vector<std::uint8_t> together = working();
        EXPECT_EQ(canvas->strokeHistory().undoCount(), 1u) << "one stroke for the whole gesture";

        install();
        drawOneAtATime(c.events);
        EXPECT_TRUE(together == working());
    }
}

TEST_F(TwoFingerPainting, FingersAreToldApartByTheirNumberNotTheirPlaceInTheEvent)
{
    install();
    const auto event = [](std::vector<FloatPoint> at, std::vector<int> fingers, bool first = false) {
        TouchEvent e;
        e.allTouches = std::move(at);
        e.fingerIds = std::move(fingers);
        e.firstFingerDown = first;
        e.lastFingerLifted = false;
        return e;
    };
    canvas->touchesBegan(event({{40, 60}, {40, 300}}, {7, 9}, true));
    canvas->touchesMoved(event({{120, 280}, {120, 60}}, {9, 7}));
    canvas->touchesMoved(event({{200, 90}, {200, 320}}, {7, 9}));
    canvas->touchesMoved(event({{280, 250}, {260, 70}}, {9, 7}));
    TouchEvent end = event({{260, 70}, {280, 250}}, {7, 9});
    end.lastFingerLifted = true;
    canvas->touchesEnded(end);
    const std::vector<std::uint8_t> together = working();

    install();
    drawOneAtATime({{{0, Press, {40, 60}}},
                    {{0, Move, {120, 60}}},
                    {{0, Move, {200, 90}}},
                    {{0, Move, {260, 70}}},
                    {{1, Press, {40, 300}}},
                    {{1, Move, {120, 280}}},
                    {{1, Move, {200, 320}}},
                    {{1, Move, {280, 250}}}});
    EXPECT_TRUE(together == working());
}
