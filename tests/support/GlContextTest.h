#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "gl/EglContext.h"

// True when the run must have GL: the environment variable CHARCOLINO_REQUIRE_GL
// is 1 (the test script sets it, so a machine without GL fails there).
bool glContextRequired();

// Ends a test (or its SetUp) that found no GL ES context: skipped, or failed when
// the run requires GL.
//   if (!canvas) NO_GL_CONTEXT();
#define NO_GL_CONTEXT()                                                                 \
    switch (0)                                                                          \
    case 0:                                                                             \
    default:                                                                            \
        if (glContextRequired())                                                        \
            GTEST_FAIL() << "no GL ES context, and CHARCOLINO_REQUIRE_GL=1 requires one"; \
        else                                                                            \
            GTEST_SKIP() << "no GL ES context"

// Fixture for tests that make GL calls: a fresh GL ES 1.x context (Mesa's
// software renderer, no display server) is current for the whole test and is
// released afterwards, leaving no context current.
//
//   class MyTest : public GlContextTest {};
//   TEST_F(MyTest, Something) { ... GL calls ... }
//
// A test that needs a framebuffer to draw into adds a GlTestFramebuffer.
class GlContextTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<EglContext> context;
};
