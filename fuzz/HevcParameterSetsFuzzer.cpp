// libFuzzer target for the HEVC parameter-set reader that judges a HEIF file's
// coded picture size before the decoder sees the stream. Each input is taken both
// ways the reader is called: as a stream of length-prefixed NAL units (what the
// HEIF decoder plugin is handed) and as one NAL unit. Both answers must equal
// those of the straightforward reader in StreamHeaderReference.h.
//
// Build and run (see scripts/fuzz):
//   build-fuzz/fuzz_hevc_parameter_sets -max_total_time=600 <copy of fuzz/corpus/hevc>
// Every input that ever failed goes into tests/fuzz-regressions/hevc/, which
// StreamHeaderFuzzRegressionTest runs through the same checks.
#include <cstddef>
#include <cstdint>

#include "FuzzEnvironment.h"
#include "StreamHeaderReference.h"
#include "imageio/HevcParameterSets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QSize largest(-5, -5);
    const bool read = HevcParameterSets::largestPictureSize(data, size, &largest);
    const std::optional<QSize> expected = StreamHeaderReference::hevcLargest(data, size);
    FUZZ_REQUIRE(read == expected.has_value());
    if (read)
        FUZZ_REQUIRE(largest == *expected);

    const std::optional<QSize> one = HevcParameterSets::pictureSize(data, size);
    const bool sps = size >= 2 && ((data[0] >> 1) & 63) == 33;
    const std::optional<QSize> oneExpected =
        sps ? StreamHeaderReference::hevcSpsSize(data, size) : std::optional<QSize>();
    FUZZ_REQUIRE(one == oneExpected);
    return 0;
}
