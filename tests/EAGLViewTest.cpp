#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <array>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "gl/EAGLView.h"
#include "gl/EglContext.h"
#include "gl/GlesFramebufferFunctions.h"
#include "gl/ReadbackRows.h"
#include "support/GlTestFramebuffer.h"

namespace {

std::array<GLint, 4> glInts4(GLenum what)
{
    std::array<GLint, 4> v{};
    glGetIntegerv(what, v.data());
    return v;
}

GLint glInt(GLenum what)
{
    GLint v = 0;
    glGetIntegerv(what, &v);
    return v;
}

// Fills a rectangle in GL window coordinates (origin bottom-left) of the bound
// framebuffer, through the scissor box; the view's scissor box is put back.
void fill(int x, int y, int w, int h, float r, float g, float b)
{
    const auto scissor = glInts4(GL_SCISSOR_BOX);
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, w, h);
    glClearColor(r, g, b, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    glScissor(scissor[0], scissor[1], scissor[2], scissor[3]);
}

std::unique_ptr<EAGLView> makeView(const QRectF& frame, GLenum depthFormat = 0)
{
    auto view = std::make_unique<EAGLView>();
    if (!view->initWithFrame(frame, GL_RGB565_OES, depthFormat, true))
        return nullptr;
    return view;
}

struct CountingDelegate : EAGLViewDelegate {
    int calls = 0;
    EAGLView* last = nullptr;
    void didResizeEAGLSurfaceForView(EAGLView* view) override
    {
        ++calls;
        last = view;
    }
};

// Holds an EGL context current on a thread of its own until released, which makes
// every attempt to make it current on the test's thread fail.
class ContextHeldElsewhere {
public:
    explicit ContextHeldElsewhere(EglContext* context)
    {
        std::promise<bool> made;
        std::future<bool> madeResult = made.get_future();
        _thread = std::thread([context, &made, release = _release.get_future()]() mutable {
            made.set_value(context->makeCurrent());
            release.wait();
            EglContext::clearCurrent();
            eglReleaseThread();
        });
        _held = madeResult.get();
    }
    ~ContextHeldElsewhere()
    {
        _release.set_value();
        _thread.join();
    }
    bool held() const { return _held; }

private:
    std::promise<void> _release;
    std::thread _thread;
    bool _held = false;
};

}  // namespace

class EAGLViewTest : public ::testing::Test {
protected:
    void TearDown() override { EglContext::clearCurrent(); }
    const GlesFramebufferFunctions& gl = GlesFramebufferFunctions::get();
};

TEST_F(EAGLViewTest, CreationMakesAnRgba8SurfaceCurrentBoundAndCoveredByViewportAndScissor)
{
    auto view = makeView(QRectF(0, 70, 320, 390));
    ASSERT_NE(view, nullptr);
    EXPECT_NE(view->context(), nullptr);
    EXPECT_TRUE(view->isCurrentContext());
    EXPECT_EQ(view->pixelFormat(), GLenum(GL_RGB565_OES));
    EXPECT_EQ(view->depthFormat(), 0u);
    EXPECT_EQ(view->surfaceSize(), (FloatSize{320, 390}));

    ASSERT_NE(view->framebuffer(), 0u);
    EXPECT_EQ(glInt(GL_FRAMEBUFFER_BINDING_OES), GLint(view->framebuffer()));
    EXPECT_EQ(gl.checkFramebufferStatus(GL_FRAMEBUFFER_OES), GLenum(GL_FRAMEBUFFER_COMPLETE_OES));
    EXPECT_EQ(glInt(GL_RENDERBUFFER_BINDING_OES), 0) << "the renderbuffer binding was not put back";
    EXPECT_EQ(glInts4(GL_VIEWPORT), (std::array<GLint, 4>{0, 0, 320, 390}));
    EXPECT_EQ(glInts4(GL_SCISSOR_BOX), (std::array<GLint, 4>{0, 0, 320, 390}));

    // RGB565 is only recorded: the colour buffer has 8 bits a channel, alpha included.
    EXPECT_EQ(glInt(GL_RED_BITS), 8);
    EXPECT_EQ(glInt(GL_GREEN_BITS), 8);
    EXPECT_EQ(glInt(GL_BLUE_BITS), 8);
    EXPECT_EQ(glInt(GL_ALPHA_BITS), 8);
    EXPECT_EQ(glInt(GL_DEPTH_BITS), 0) << "depth format 0 must make no depth buffer";
}

TEST_F(EAGLViewTest, DepthFormatAddsADepthBuffer)
{
    auto view = makeView(QRectF(0, 0, 64, 32), GL_DEPTH_COMPONENT16_OES);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->depthFormat(), GLenum(GL_DEPTH_COMPONENT16_OES));
    EXPECT_GE(glInt(GL_DEPTH_BITS), 16);
    EXPECT_EQ(gl.checkFramebufferStatus(GL_FRAMEBUFFER_OES), GLenum(GL_FRAMEBUFFER_COMPLETE_OES));
}

TEST_F(EAGLViewTest, SurfaceSizeIsTheBoundsSizeRoundedAfterScaling)
{
    auto view = makeView(QRectF(0, 0, 319.6, 479.4));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->surfaceSize(), (FloatSize{320, 479}));
    EXPECT_EQ(glInts4(GL_VIEWPORT), (std::array<GLint, 4>{0, 0, 320, 479}));
    view->swapBuffers();
    EXPECT_EQ(view->presentedImage().size(), QSize(320, 479));

    // Scaled by the device pixel ratio first, halves rounded away from zero.
    EXPECT_EQ(EAGLView::roundedSurfaceSize(FloatSize{319.6f, 479.4f}, 2.0), (FloatSize{639, 959}));
    EXPECT_EQ(EAGLView::roundedSurfaceSize(FloatSize{160.3f, 195.0f}, 1.5), (FloatSize{240, 293}));
    EXPECT_EQ(EAGLView::roundedSurfaceSize(FloatSize{100.5f, 0.5f}, 1.0), (FloatSize{101, 1}));
}

TEST(ReadbackRows, BottomRowFirstBecomesTopRowFirstOpaqueRgb32)
{
    // 1 x 2 pixels, GL's bottom row first; destination rows 8 bytes apart, their
    // second word left alone. Either byte order gives the same Format_RGB32 words.
    const struct {
        ReadbackOrder order;
        std::uint8_t bottomUp[8];
    } cases[] = {
        {ReadbackOrder::Rgba, {1, 2, 3, 0, 5, 6, 7, 9}},
        {ReadbackOrder::Bgra, {3, 2, 1, 0, 7, 6, 5, 9}},
    };
    for (const auto& c : cases) {
        std::uint32_t topDown[4] = {0xEEEEEEEEu, 0xEEEEEEEEu, 0xEEEEEEEEu, 0xEEEEEEEEu};
        copyReadbackRows(c.bottomUp, c.order, 1, 2, reinterpret_cast<std::uint8_t*>(topDown), 8);
        EXPECT_EQ(topDown[0], 0xFF050607u) << int(c.order);
        EXPECT_EQ(topDown[1], 0xEEEEEEEEu) << int(c.order);
        EXPECT_EQ(topDown[2], 0xFF010203u) << int(c.order);
        EXPECT_EQ(topDown[3], 0xEEEEEEEEu) << int(c.order);
    }
}

TEST(EAGLViewRects, SurfacePixelsBecomeWidgetPointsRoundedOutward)
{
    const struct {
        QRect pixels;
        qreal ratio;
        QRect points;
    } cases[] = {
        {QRect(3, 4, 5, 6), 1.0, QRect(3, 4, 5, 6)},
        {QRect(0, 0, 2, 2), 2.0, QRect(0, 0, 1, 1)},
        {QRect(3, 5, 2, 1), 2.0, QRect(1, 2, 2, 1)},     // odd edges widen
        {QRect(638, 778, 2, 2), 2.0, QRect(319, 389, 1, 1)},  // the last pixels of 640 x 780
        {QRect(1, 1, 1, 1), 1.5, QRect(0, 0, 2, 2)},
        {QRect(0, 0, 0, 5), 2.0, QRect()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EAGLView::widgetRectOfSurfacePixels(c.pixels, c.ratio), c.points) << c.pixels.x() << " " << c.ratio;
}

TEST_F(EAGLViewTest, PresentsShowRowsTopFirstAndKeepEarlierDrawing)
{
    auto view = makeView(QRectF(0, 0, 40, 30));
    ASSERT_NE(view, nullptr);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);

    fill(0, 0, 10, 5, 1, 0, 0);  // bottom-left in GL terms
    view->swapBuffers();
    const QImage first = view->presentedImage();
    ASSERT_EQ(first.size(), QSize(40, 30));
    EXPECT_EQ(first.format(), QImage::Format_RGB32);
    EXPECT_EQ(first.pixel(0, 29), qRgb(255, 0, 0)) << "GL's bottom row must be the image's last row";
    EXPECT_EQ(first.pixel(0, 0), qRgb(0, 0, 0)) << "cleared with alpha 0 yet shown opaque black";
    EXPECT_EQ(first.pixel(10, 29), qRgb(0, 0, 0));

    fill(0, 25, 10, 5, 0, 1, 0);  // top-left in GL terms, nothing cleared in between
    view->swapBuffers();
    const QImage second = view->presentedImage();
    EXPECT_EQ(second.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(second.pixel(9, 4), qRgb(0, 255, 0));
    EXPECT_EQ(second.pixel(9, 5), qRgb(0, 0, 0));
    EXPECT_EQ(second.pixel(0, 29), qRgb(255, 0, 0)) << "the first drawing did not survive the present";
    EXPECT_EQ(first.pixel(0, 0), qRgb(0, 0, 0)) << "an earlier presented image changed afterwards";

    // The widget paints what was presented.
    const QImage painted = view->grab().toImage();
    ASSERT_EQ(painted.size(), QSize(40, 30));
    EXPECT_EQ(painted.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(painted.pixel(0, 29), qRgb(255, 0, 0));
    EXPECT_EQ(painted.pixel(20, 15), qRgb(0, 0, 0));
}

TEST_F(EAGLViewTest, PresentReadsTheViewsSurfaceWhateverFramebufferIsBound)
{
    auto view = makeView(QRectF(0, 0, 8, 8));
    ASSERT_NE(view, nullptr);
    fill(0, 0, 8, 8, 0, 0, 1);
    {
        GlTestFramebuffer other(8, 8);
        fill(0, 0, 8, 8, 1, 1, 0);
        view->swapBuffers();
        EXPECT_EQ(glInt(GL_FRAMEBUFFER_BINDING_OES), GLint(other.name()));
    }
    EXPECT_EQ(view->presentedImage().pixel(3, 3), qRgb(0, 0, 255));
}

TEST_F(EAGLViewTest, APartialPresentShowsOnlyItsRectangleClippedToTheSurface)
{
    auto view = makeView(QRectF(0, 0, 10, 8));
    ASSERT_NE(view, nullptr);
    fill(0, 0, 10, 8, 1, 0, 0);
    view->swapBuffers();
    fill(0, 0, 10, 8, 0, 1, 0);  // all green on the surface, shown only where presented

    // Rectangles in pixels from the top; each adds to what the earlier ones showed.
    const QRect presents[] = {QRect(2, 3, 4, 2), QRect(8, 6, 5, 5), QRect(-3, -3, 4, 4), QRect(20, 0, 5, 5)};
    QImage expected = view->presentedImage().copy();
    testing::internal::CaptureStdout();
    for (const QRect& r : presents) {
        view->swapBuffers(r);
        QPainter(&expected).fillRect(r & expected.rect(), Qt::green);
        const QImage shown = view->presentedImage();
        int differing = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 10; ++x)
                differing += shown.pixel(x, y) != expected.pixel(x, y);
        EXPECT_EQ(differing, 0) << r.x() << ", " << r.y();
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "a rectangle off the surface is no failure";
}

TEST_F(EAGLViewTest, SwapBuffersPresentsWithItsOwnContextAndGivesTheCallersBack)
{
    auto a = makeView(QRectF(0, 0, 8, 8));
    auto b = makeView(QRectF(0, 0, 8, 8));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    fill(0, 0, 8, 8, 1, 0, 0);  // into b, current since its creation
    a->setCurrentContext();
    fill(0, 0, 8, 8, 0, 1, 0);

    b->swapBuffers();
    EXPECT_TRUE(a->isCurrentContext());
    EXPECT_FALSE(b->isCurrentContext());
    EXPECT_EQ(b->presentedImage().pixel(4, 4), qRgb(255, 0, 0));

    auto bare = EglContext::create();
    ASSERT_NE(bare, nullptr);
    ASSERT_TRUE(bare->makeCurrent());
    a->swapBuffers();
    EXPECT_TRUE(bare->isCurrent());
    EXPECT_EQ(EglContext::current(), bare.get());
    EXPECT_EQ(a->presentedImage().pixel(4, 4), qRgb(0, 255, 0));

    a->clearCurrentContext();
    EXPECT_EQ(EglContext::current(), nullptr);
    b->swapBuffers();
    EXPECT_EQ(EglContext::current(), nullptr) << "no context was current before the present";
}

TEST_F(EAGLViewTest, DestroyingAViewGivesTheCallersContextBack)
{
    auto view = makeView(QRectF(0, 0, 8, 8));
    ASSERT_NE(view, nullptr);
    auto bare = EglContext::create();
    ASSERT_NE(bare, nullptr);
    ASSERT_TRUE(bare->makeCurrent());
    view.reset();
    EXPECT_TRUE(bare->isCurrent());

    // A view destroyed while its own context is current leaves none current.
    view = makeView(QRectF(0, 0, 8, 8));
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->isCurrentContext());
    view.reset();
    EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT);
}

TEST_F(EAGLViewTest, WithoutAutoresizeTheSurfaceKeepsItsSize)
{
    auto view = makeView(QRectF(0, 0, 100, 80));
    ASSERT_NE(view, nullptr);
    const GLuint framebuffer = view->framebuffer();
    view->setFrame(QRectF(0, 0, 50.2, 60.7));
    view->resize(70, 90);
    EXPECT_EQ(view->surfaceSize(), (FloatSize{100, 80}));
    EXPECT_EQ(view->framebuffer(), framebuffer);

    // Storing the flag alone lays nothing out.
    view->setAutoresizesSurface(true);
    EXPECT_TRUE(view->autoresizesSurface());
    EXPECT_EQ(view->surfaceSize(), (FloatSize{100, 80}));

    // The other setter lays out at once.
    view->setAutoresizesSurface(false);
    view->setAutoresizesEAGLSurface(true);
    EXPECT_TRUE(view->autoresizesSurface());
    EXPECT_EQ(view->surfaceSize(), (FloatSize{70, 90}));
    view->swapBuffers();
    EXPECT_EQ(view->presentedImage().size(), QSize(70, 90));
}

TEST_F(EAGLViewTest, ALaterSurfaceKeepsViewportScissorAndAForeignFramebufferBinding)
{
    auto view = makeView(QRectF(0, 0, 100, 80));
    ASSERT_NE(view, nullptr);
    CountingDelegate delegate;
    view->setDelegate(&delegate);
    view->setAutoresizesEAGLSurface(true);
    EXPECT_EQ(delegate.calls, 0) << "no size change, no new surface";

    GlTestFramebuffer other(4, 4);
    glViewport(0, 0, 100, 80);  // the test framebuffer set its own
    view->setFrame(QRectF(0, 0, 60.4, 40.6));
    EXPECT_EQ(view->surfaceSize(), (FloatSize{60, 41}));
    EXPECT_EQ(delegate.calls, 1);
    EXPECT_EQ(delegate.last, view.get());
    EXPECT_TRUE(view->isCurrentContext());
    EXPECT_EQ(glInt(GL_FRAMEBUFFER_BINDING_OES), GLint(other.name()));
    EXPECT_EQ(glInts4(GL_VIEWPORT), (std::array<GLint, 4>{0, 0, 100, 80}));
    EXPECT_EQ(glInts4(GL_SCISSOR_BOX), (std::array<GLint, 4>{0, 0, 100, 80}));

    // A size that rounds to the same pixels makes no new surface.
    view->setFrame(QRectF(0, 0, 60.1, 40.9));
    EXPECT_EQ(delegate.calls, 1);
}

TEST_F(EAGLViewTest, AResizeReplacesTheBoundViewFramebufferWithTheNewOne)
{
    auto view = makeView(QRectF(0, 0, 20, 20));
    ASSERT_NE(view, nullptr);
    view->setAutoresizesEAGLSurface(true);
    view->setFrame(QRectF(0, 0, 16, 12));
    ASSERT_NE(view->framebuffer(), 0u);
    EXPECT_EQ(glInt(GL_FRAMEBUFFER_BINDING_OES), GLint(view->framebuffer()));

    glViewport(0, 0, 16, 12);
    fill(0, 0, 16, 12, 1, 0, 1);
    view->swapBuffers();
    ASSERT_EQ(view->presentedImage().size(), QSize(16, 12));
    EXPECT_EQ(view->presentedImage().pixel(15, 11), qRgb(255, 0, 255));
}

TEST_F(EAGLViewTest, ASurfaceThatCannotBeMadeFailsTheInitialiser)
{
    // Wider than any renderbuffer GL can make.
    EAGLView view;
    EXPECT_FALSE(view.initWithFrame(QRectF(0, 0, 100000, 10)));
    EXPECT_EQ(view.framebuffer(), 0u);
    // The view's context is current: its renderbuffer binding was put back.
    EXPECT_EQ(glInt(GL_RENDERBUFFER_BINDING_OES), 0);
}

TEST_F(EAGLViewTest, ContextFailuresAreReportedOnStandardOutput)
{
    auto view = makeView(QRectF(0, 0, 8, 8));
    ASSERT_NE(view, nullptr);
    auto bare = EglContext::create();
    ASSERT_NE(bare, nullptr);
    ASSERT_TRUE(bare->makeCurrent());
    {
        ContextHeldElsewhere busy(view->context());
        ASSERT_TRUE(busy.held());

        testing::internal::CaptureStdout();
        view->setCurrentContext();
        std::string out = testing::internal::GetCapturedStdout();
        char expected[128];
        std::snprintf(expected, sizeof expected, "Failed to set current context %p in -[EAGLView setCurrentContext]\n",
                      static_cast<void*>(view->context()));
        EXPECT_EQ(out, expected);

        testing::internal::CaptureStdout();
        view->swapBuffers();
        out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, "Failed to swap renderbuffer in -[EAGLView swapBuffers]\n");
        EXPECT_TRUE(bare->isCurrent()) << "the caller's context must survive a failed present";
    }

    testing::internal::CaptureStdout();
    view->swapBuffers();
    view->setCurrentContext();
    view->clearCurrentContext();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT);
}
