#pragma once

#include <QRectF>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "canvas/CanvasView.h"

// A canvas holding a 1024 x 1024 project of its own making (patterned buffers, no
// photo, no sketch run) on a view of the given size at zoom 1, picture centred.
class BenchProjectCanvas : public CanvasView {
public:
    static constexpr int kSide = 1024;

    bool makeProject(int viewWidth = 320, int viewHeight = 390)
    {
        const QRectF frame(0, 70, viewWidth, viewHeight);
        if (!EAGLView::initWithFrame(frame, GL_RGB565_OES, 0, true))
            return false;
        setCurrentContext();
        setFixedGLState(frame);
        ProjectDocument& d = document();
        d.setGeometry(kSide, kSide, FloatSize{float(kSide), float(kSide)});
        if (!PrepareBuff(true))
            return false;
        std::uint8_t* buffers[] = {d.originalBuffer(), d.blackSketchBuffer(), d.colorSketchBuffer(),
                                   d.workingBuffer()};
        for (int b = 0; b < 4; ++b)
            fill(buffers[b], b);
        ReloadFixTexture();
        ReloadCanvas();
        d.setLoaded(true);
        centerx = viewWidth / 2;
        centery = viewHeight / 2;
        zoomlevel = 1.0f;
        return true;
    }

    // Buffer `b`'s pattern (0 original, 1 black, 2 colour, 3 working), opaque.
    static void fill(std::uint8_t* buffer, int b)
    {
        for (int i = 0; i < kSide * kSide; ++i) {
            std::uint8_t* p = buffer + std::size_t(i) * 4;
            p[0] = std::uint8_t(i * 7 + b * 61);
            p[1] = std::uint8_t((i >> 10) * 11 + b * 97);
            p[2] = std::uint8_t(40 + b * 60);
            p[3] = 255;
        }
    }
};

// One canvas of type C (with a make() answering whether it has GL) for the whole
// run; without a GL ES surface the benchmark ends here.
template <class C>
C* benchCanvasOnce()
{
    static C* canvas = [] {
        auto* made = new C;
        if (!made->make()) {
            std::fprintf(stderr, "no GL ES surface\n");
            std::exit(1);
        }
        return made;
    }();
    return canvas;
}
