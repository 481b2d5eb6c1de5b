#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "gl/EglContext.h"

// True when the run must have GL: the environment variable CHARCOLINO_REQUIRE_GL
// is 1 (the test script sets it, so a machine without GL fails there).
bool glContextRequired();

// How a test that found no GL ES context ends: skipped, or a fatal failure
// when the run requires GL; and the line it reports.
::testing::TestPartResult::Type glContextMissingResult();
const char* glContextMissingText();

// Ends a test (or its SetUp) that found no GL ES context, as above. One
// statement without an `if`, so it can stand unbraced under one:
//   if (!canvas) NO_GL_CONTEXT();
#define NO_GL_CONTEXT() return GTEST_MESSAGE_(glContextMissingText(), glContextMissingResult())

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
