// The context made ahead on another thread while the program starts: handed out
// once, and usable on the thread that takes it.
#include <gtest/gtest.h>

#include <GLES/gl.h>

#include <thread>

#include "gl/EglContext.h"
#include "support/GlContextTest.h"

TEST(EglContext, TheContextPreparedOnAnotherThreadIsHandedOutOnceAndWorksHere)
{
    std::thread([] { EglContext::prepare(); }).join();
    std::unique_ptr<EglContext> first = EglContext::create();
    if (!first)
        NO_GL_CONTEXT();
    const std::unique_ptr<EglContext> second = EglContext::create();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first->handle(), second->handle());
    ASSERT_TRUE(first->makeCurrent());
    EXPECT_EQ(EglContext::current(), first.get());
    glClearColor(0, 0, 0, 1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    first.reset();  // a context current here goes with its owner
    EXPECT_EQ(EglContext::current(), nullptr);
}
