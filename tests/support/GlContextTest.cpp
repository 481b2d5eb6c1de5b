#include "support/GlContextTest.h"

#include <QtGlobal>

bool glContextRequired() { return qEnvironmentVariableIntValue("CHARCOLINO_REQUIRE_GL") == 1; }

::testing::TestPartResult::Type glContextMissingResult()
{
    return glContextRequired() ? ::testing::TestPartResult::kFatalFailure : ::testing::TestPartResult::kSkip;
}

const char* glContextMissingText()
{
    return glContextRequired() ? "no GL ES context, and CHARCOLINO_REQUIRE_GL=1 requires one" : "no GL ES context";
}

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
