#pragma once

#include <QFileInfoList>

// The inputs a fuzzer's regression test replays, in name order: those kept in
// the source tree's `keptFolder` (every input that ever failed), then its seeds
// in `seedFolder`, both relative to the source tree. Finding none fails the test.
QFileInfoList fuzzInputs(const char* keptFolder, const char* seedFolder);
