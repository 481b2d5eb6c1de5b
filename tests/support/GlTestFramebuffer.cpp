#include "support/GlTestFramebuffer.h"

#include <GLES/glext.h>

#include "gl/GlesFramebufferFunctions.h"

GlTestFramebuffer::GlTestFramebuffer(int width, int height)
{
    const GlesFramebufferFunctions& gl = GlesFramebufferFunctions::get();
    gl.genRenderbuffers(1, &_renderbuffer);
    gl.bindRenderbuffer(GL_RENDERBUFFER_OES, _renderbuffer);
    gl.renderbufferStorage(GL_RENDERBUFFER_OES, GL_RGBA8_OES, width, height);
    gl.genFramebuffers(1, &_framebuffer);
    gl.bindFramebuffer(GL_FRAMEBUFFER_OES, _framebuffer);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_RENDERBUFFER_OES, _renderbuffer);
    glViewport(0, 0, width, height);
}

GlTestFramebuffer::~GlTestFramebuffer()
{
    const GlesFramebufferFunctions& gl = GlesFramebufferFunctions::get();
    gl.deleteFramebuffers(1, &_framebuffer);
    gl.deleteRenderbuffers(1, &_renderbuffer);
}

QImage GlTestFramebuffer::readTexture(GLuint texture, int width, int height)
{
    const GlesFramebufferFunctions& gl = GlesFramebufferFunctions::get();
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &bound);
    GLuint framebuffer = 0;
    gl.genFramebuffers(1, &framebuffer);
    gl.bindFramebuffer(GL_FRAMEBUFFER_OES, framebuffer);
    gl.framebufferTexture2D(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_TEXTURE_2D, texture, 0);
    QImage image;
    if (gl.checkFramebufferStatus(GL_FRAMEBUFFER_OES) == GL_FRAMEBUFFER_COMPLETE_OES) {
        image = QImage(width, height, QImage::Format_RGBA8888);  // rows of width x 4 bytes, no padding
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    }
    gl.bindFramebuffer(GL_FRAMEBUFFER_OES, GLuint(bound));
    gl.deleteFramebuffers(1, &framebuffer);
    return image;
}
