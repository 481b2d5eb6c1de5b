// The least a program of this kind does before its first frame, as the yardstick
// of the program's own start-up (scripts/measure-startup runs both): a Qt window
// of the phone's size, a GL ES 1.1 context on the EGL display the program uses, a
// framebuffer of the canvas's size, one 1024 x 1024 texture uploaded and drawn,
// the pixels read back into the widget's image and painted. With
// CHARCOLINO_READY_LINE set it prints "ready" at its first frame, as the program
// does. The texture's pixels are the working image of the project file named on
// the command line when it has one (read as the program reads it), else a pattern.
#include <GLES/gl.h>
#include <GLES/glext.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <memory>
#include <vector>

#include "gl/EglContext.h"
#include "gl/GlesFramebufferFunctions.h"

namespace {

constexpr int kSide = 1024;
constexpr int kViewWidth = 320;
constexpr int kViewHeight = 390;
constexpr int kBand = 70;
constexpr qint64 kHeaderBytes = 35;  // the project file's header before its two images

std::vector<unsigned char> texturePixels(const QString& projectPath)
{
    std::vector<unsigned char> pixels(std::size_t(kSide) * kSide * 4);
    QFile file(projectPath);
    const qint64 bytes = qint64(pixels.size());
    if (!projectPath.isEmpty() && file.open(QIODevice::ReadOnly) && file.seek(kHeaderBytes + bytes) &&
        file.read(reinterpret_cast<char*>(pixels.data()), bytes) == bytes)
        return pixels;
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = (i & 3) == 3 ? 255 : static_cast<unsigned char>(i * 7);
    return pixels;
}

// The canvas: draws the texture once into its framebuffer and shows the pixels
// read back.
class FloorView : public QWidget {
public:
    explicit FloorView(QWidget* parent) : QWidget(parent) { setGeometry(0, kBand, kViewWidth, kViewHeight); }

    bool draw(const std::vector<unsigned char>& pixels)
    {
        mContext = EglContext::create();
        if (!mContext || !mContext->makeCurrent())
            return false;
        const GlesFramebufferFunctions& gl = GlesFramebufferFunctions::get();
        if (!gl.available())
            return false;
        GLuint framebuffer = 0;
        GLuint renderbuffer = 0;
        gl.genFramebuffers(1, &framebuffer);
        gl.bindFramebuffer(GL_FRAMEBUFFER_OES, framebuffer);
        gl.genRenderbuffers(1, &renderbuffer);
        gl.bindRenderbuffer(GL_RENDERBUFFER_OES, renderbuffer);
        gl.renderbufferStorage(GL_RENDERBUFFER_OES, GL_RGBA8_OES, kViewWidth, kViewHeight);
        gl.framebufferRenderbuffer(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_RENDERBUFFER_OES, renderbuffer);
        if (gl.checkFramebufferStatus(GL_FRAMEBUFFER_OES) != GL_FRAMEBUFFER_COMPLETE_OES)
            return false;
        glViewport(0, 0, kViewWidth, kViewHeight);

        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kSide, kSide, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());

        // The whole picture fitted into the view, as the canvas opens a project.
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrthof(0.0f, 1.0f, 0.0f, 1.0f, -1.0f, 1.0f);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glEnable(GL_TEXTURE_2D);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        const float top = float(kViewWidth) / float(kViewHeight);
        const GLfloat positions[8] = {0.0f, 0.0f, 0.0f, top, 1.0f, 0.0f, 1.0f, top};
        const GLfloat coordinates[8] = {0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f};
        glClear(GL_COLOR_BUFFER_BIT);
        glVertexPointer(2, GL_FLOAT, 0, positions);
        glTexCoordPointer(2, GL_FLOAT, 0, coordinates);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);

        QImage image(kViewWidth, kViewHeight, QImage::Format_RGBA8888);
        glReadPixels(0, 0, kViewWidth, kViewHeight, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
        mImage = image.mirrored().convertToFormat(QImage::Format_RGB32);
        update();
        return true;
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.drawImage(0, 0, mImage);
    }

private:
    std::unique_ptr<EglContext> mContext;
    QImage mImage;
};

// The window; "ready" goes out once its first paint is handed to the screen.
class FloorWindow : public QWidget {
public:
    FloorWindow()
    {
        setWindowTitle(QStringLiteral("startup floor"));
        resize(kViewWidth, kViewHeight + kBand);
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QWidget::paintEvent(event);
        if (mPainted)
            return;
        mPainted = true;
        if (qEnvironmentVariableIsSet("CHARCOLINO_READY_LINE"))
            QTimer::singleShot(0, this, [] {
                std::fputs("ready\n", stdout);
                std::fflush(stdout);
            });
    }

private:
    bool mPainted = false;
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    FloorWindow window;
    auto* view = new FloorView(&window);
    if (!view->draw(texturePixels(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString()))) {
        std::fputs("startup_floor: no GL ES context\n", stderr);
        return 1;
    }
    window.show();
    return app.exec();
}
