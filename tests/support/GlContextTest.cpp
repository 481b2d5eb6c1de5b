#include "support/GlContextTest.h"

#include <QtGlobal>

bool glContextRequired() { return qEnvironmentVariableIntValue("CHARCOLINO_REQUIRE_GL") == 1; }

void GlContextTest::SetUp()
{
    context = EglContext::create();
    ASSERT_NE(context, nullptr) << "no GL ES 1.x context could be created";
    ASSERT_TRUE(context->makeCurrent());
}

void GlContextTest::TearDown()
{
    context.reset();
    EglContext::clearCurrent();
}
