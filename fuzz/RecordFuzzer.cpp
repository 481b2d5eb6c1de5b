// libFuzzer target for the drawing record that lies beside a project made from a
// photo (projectN.strokes). Each input is the whole file:
//  - the reader accepts exactly the records that RecordReference reads, with the
//    same fields bit for bit, and leaves the record it was given alone otherwise,
//    from bytes in memory and from a device of unknown size (a pipe) alike;
//  - an accepted record encodes again to the very bytes it was read from.
//
// Build and run (see scripts/fuzz):
//   build-fuzz/fuzz_record -max_total_time=600 -max_len=65536 <copy of fuzz/corpus/record>
// Every input that ever failed goes into tests/fuzz-regressions/record/, which
// RecordFuzzRegressionTest runs through the same checks.
#include <cstddef>
#include <cstdint>

#include "FuzzEnvironment.h"
#include "RecordReference.h"
#include "SequentialBytes.h"
#include "project/FullResolutionRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<FullResolutionRecord> expected = RecordReference::read(bytes);

    FullResolutionRecord untouched;
    untouched.width = 7;
    untouched.dabs.resize(3);
    FullResolutionRecord record = untouched;
    const bool accepted = FullResolutionRecord::decode(bytes, &record);
    FUZZ_REQUIRE(accepted == expected.has_value());
    FUZZ_REQUIRE(RecordReference::sameBits(record, accepted ? *expected : untouched));
    if (accepted)
        FUZZ_REQUIRE(record.encode() == bytes);

    SequentialBytes pipe(bytes);
    FullResolutionRecord piped = untouched;
    FUZZ_REQUIRE(FullResolutionRecord::read(pipe, &piped) == accepted);
    FUZZ_REQUIRE(RecordReference::sameBits(piped, accepted ? *expected : untouched));
    return 0;
}
