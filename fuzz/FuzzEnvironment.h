#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

// What every fuzzer sets up once, from LLVMFuzzerInitialize: a headless Qt
// application (the offscreen platform, GL through surfaceless EGL) whose data,
// config and cache folders lie in a fresh temporary HOME, so that a run never
// reads or writes the user's files. The folder is removed when the process ends
// normally.
namespace FuzzEnvironment {

void start();

// A file of the temporary HOME, for inputs handed over by name.
QString scratchPath(const QString& fileName);

// Writes the input's bytes into that file, replacing what it held.
void writeInput(const QString& path, const std::uint8_t* data, std::size_t size);

// Ends the process with the failed condition and its place on stderr; libFuzzer
// then keeps the input as a crash.
[[noreturn]] void fail(const char* condition, const char* file, int line);

}  // namespace FuzzEnvironment

#define FUZZ_REQUIRE(condition) \
    ((condition) ? void() : FuzzEnvironment::fail(#condition, __FILE__, __LINE__))
