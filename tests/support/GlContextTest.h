#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "gl/EglContext.h"

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
