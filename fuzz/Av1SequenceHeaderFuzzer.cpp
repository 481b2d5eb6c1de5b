// libFuzzer target for the AV1 sequence-header reader that judges an AVIF file's
// largest frame before the decoder sees the stream. Each input is a stream of
// OBUs as the HEIF decoder plugin is handed it; the answer must equal that of the
// straightforward reader in StreamHeaderReference.h.
//
// Build and run (see scripts/fuzz):
//   build-fuzz/fuzz_av1_sequence_header -max_total_time=600 <copy of fuzz/corpus/av1>
// Every input that ever failed goes into tests/fuzz-regressions/av1/, which
// StreamHeaderFuzzRegressionTest runs through the same checks.
#include <cstddef>
#include <cstdint>

#include "FuzzEnvironment.h"
#include "StreamHeaderReference.h"
#include "imageio/Av1SequenceHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QSize largest(-5, -5);
    const bool read = Av1SequenceHeader::largestFrameSize(data, size, &largest);
    const std::optional<QSize> expected = StreamHeaderReference::av1Largest(data, size);
    FUZZ_REQUIRE(read == expected.has_value());
    if (read)
        FUZZ_REQUIRE(largest == *expected);
    return 0;
}
