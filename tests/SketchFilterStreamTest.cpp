#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "filter/SketchFilter.h"
#include "filter/SketchFilterStream.h"

namespace {

struct Case {
    int width, height;
    FloatSize picsize;
};

// The original arrives a few rows at a time (65 first: one short of the first
// band's), the rows not yet read holding other bytes; after each step every band
// that can start has run, and no other. In the end the sketches are
// buildSketchReference's, on threads of the stream's own or only on the thread
// that waits.
TEST(SketchFilterStream, BandsStartOnlyOnReadRowsAndMatchTheReference)
{
    const Case cases[] = {
        {200, 130, {200.0f, 130.0f}},  // a band of two rows after two of 64
        {96, 70, {95.5f, 63.5f}},      // fractional picture, rows below it
        {130, 64, {130.0f, 64.0f}},    // one band exactly
    };
    for (const Case& c : cases) {
        const std::size_t bytes = std::size_t(c.width) * c.height * 4;
        std::vector<std::uint8_t> original(bytes), black(bytes), color(bytes);
        for (std::size_t i = 0; i < bytes; ++i)
            original[i] = std::uint8_t((i * 2654435761u) >> 13);
        const SketchBuffers reference{original.data(), nullptr, black.data(), color.data(),
                                      c.width,         c.height, c.picsize};
        buildSketchReference(reference);
        const int rows = pictureExtent(c.picsize.height, c.height);
        for (int threads : {0, 2}) {
            SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << ", " << threads << " threads");
            std::vector<std::uint8_t> arriving(bytes, 0xA5), streamBlack(bytes), streamColor(bytes);
            SketchFilterStream stream({arriving.data(), nullptr, streamBlack.data(), streamColor.data(), c.width,
                                       c.height, c.picsize},
                                      threads);
            const std::size_t rowBytes = std::size_t(c.width) * 4;
            for (int read = 0; read < c.height;) {
                const int next = std::min(c.height, read < 64 ? 65 : read + 1 + read % 37);
                std::copy(original.begin() + std::ptrdiff_t(read * rowBytes),
                          original.begin() + std::ptrdiff_t(next * rowBytes),
                          arriving.begin() + std::ptrdiff_t(read * rowBytes));
                read = next;
                stream.originalRowsRead(read);
                const int expected = read >= rows ? c.height : (read - 2) / 64 * 64;
                while (stream.runBand()) {
                }
                if (expected > 0)
                    stream.awaitRowsBeyond(expected - 1);
                EXPECT_EQ(stream.rowsFinal(), expected) << "after " << read << " rows";
            }
            EXPECT_EQ(stream.rowsFinal(), c.height);
            EXPECT_TRUE(streamBlack == black);
            EXPECT_TRUE(streamColor == color);
        }
    }
    // Stopped with rows still to come: it ends instead of waiting for them.
    std::vector<std::uint8_t> original(std::size_t(64) * 200 * 4), black(original.size()), color(original.size());
    SketchFilterStream stream({original.data(), nullptr, black.data(), color.data(), 64, 200, {64.0f, 200.0f}}, 2);
    stream.originalRowsRead(70);
}

}  // namespace
