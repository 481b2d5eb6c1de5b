// The context made ahead on another thread while the program starts: handed out
// once, usable on the thread that takes it, and every later context a new one.
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
    std::unique_ptr<EglContext> second = EglContext::create();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first->handle(), second->handle());
    EglContext::prepare();  // once per process: no spare is made again
    const std::unique_ptr<EglContext> third = EglContext::create();
    ASSERT_NE(third, nullptr);
    EXPECT_NE(third->handle(), first->handle());
    EXPECT_NE(third->handle(), second->handle());

    for (EglContext* context : {first.get(), second.get()}) {
        ASSERT_TRUE(context->makeCurrent());
        EXPECT_EQ(EglContext::current(), context);
        glClearColor(0, 0, 0, 1);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    // A context current here goes with its owner.
    second.reset();
    EXPECT_EQ(EglContext::current(), nullptr);
    EXPECT_TRUE(EglContext::clearCurrent());
}
