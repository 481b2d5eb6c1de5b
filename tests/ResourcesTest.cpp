#include <gtest/gtest.h>

#include <QImage>

// The bundled pictures reach every program that links the core library.
TEST(Resources, BundledPicturesLoad)
{
    const QImage butterfly(QStringLiteral(":/butterfly.png"));
    ASSERT_FALSE(butterfly.isNull());
    EXPECT_LE(butterfly.width(), 1024);
    EXPECT_LE(butterfly.height(), 1024);
    for (const char* name : {":/whiteButton.png", ":/blueButton.png"}) {
        const QImage button{QString::fromLatin1(name)};
        ASSERT_FALSE(button.isNull()) << name;
        EXPECT_GE(button.width(), 13) << name << " needs room for the 12-point left cap";
    }
}
