// On a scaled screen the picture's outermost device pixels sample between texels:
// they show the edge texels, never the opposite edge of the picture.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <QWidget>

#include "support/CanvasTestAccess.h"

namespace {

constexpr std::uint32_t kRed = 0xff0000ffu;  // 0xAABBGGRR
constexpr std::uint32_t kBlue = 0xffff0000u;
constexpr std::uint32_t kGreen = 0xff00ff00u;

bool runAtScale(const char* ratio)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(ratio));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=TextureEdges.*")});
    return child.waitForFinished(60000) && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
}

}  // namespace

TEST(TextureEdges, OutermostDevicePixelsShowTheirOwnEdgeAtRatios1_5And2)
{
    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR");
    if (scale.isEmpty()) {
        for (const char* ratio : {"1.5", "2"})
            EXPECT_TRUE(runAtScale(ratio)) << "at ratio " << ratio;
        return;
    }
    QWidget window;
    window.resize(320, 460);
    CanvasView* canvas = CanvasTestAccess::makeBare(QRectF(0, 70, 320, 390), &window);
    if (!canvas)
        GTEST_SKIP() << "no GL";
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const double ratio = scale.toDouble();
    ASSERT_DOUBLE_EQ(canvas->devicePixelRatioF(), ratio);

    // Green, with a red first and a blue last column (across) or row (down); the
    // picture fills its texture, so a wrap would bring the other colour in.
    for (const bool across : {true, false}) {
        SCOPED_TRACE(across ? "left and right edges" : "top and bottom edges");
        ASSERT_TRUE(CanvasTestAccess::installProject(*canvas, 256, 128, FloatSize{256, 128}, [&](int, int x, int y) {
            const int at = across ? x : y;
            const int last = across ? 255 : 127;
            return at == 0 ? kRed : at == last ? kBlue : kGreen;
        }));
        CanvasTestAccess::setView(*canvas, 160, 195, 1.0f);
        canvas->UpdateScreen();
        const QImage& shown = canvas->presentedImage();
        ASSERT_EQ(shown.size(), (QSizeF(320, 390) * ratio).toSize());
        // Along the middle row or column of the surface: the first and last pixels
        // of the picture.
        std::vector<QRgb> line;
        const int n = across ? shown.width() : shown.height();
        for (int i = 0; i < n; ++i) {
            const QRgb c = across ? shown.pixel(i, shown.height() / 2) : shown.pixel(shown.width() / 2, i);
            if ((c & 0xffffffu) != 0)
                line.push_back(c);
        }
        ASSERT_NEAR(double(line.size()), (across ? 256 : 128) * ratio, 1.0);
        // Its own edge and the green beside it, but nothing of the opposite edge.
        EXPECT_GT(qRed(line.front()), 0);
        EXPECT_EQ(qBlue(line.front()), 0) << "first pixel";
        EXPECT_GT(qBlue(line.back()), 0);
        EXPECT_EQ(qRed(line.back()), 0) << "last pixel";
    }
}
