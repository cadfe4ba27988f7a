#pragma once

#include "imaging/picture_buffer.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace vemra::test {

// The shared conformance corpus beside the project; tests that use it skip
// when it is absent.
std::filesystem::path testDataDir();
bool hasTestData();

// A fresh folder removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

std::vector<std::byte> bytes(std::initializer_list<int> values);
std::vector<std::byte> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<std::byte>& data);

// Raw header bytes for hostile-input tests: a 40-byte information header.
std::vector<std::byte> infoHeader(std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                                  std::uint32_t compression = 0, std::uint32_t imageSize = 0,
                                  std::uint32_t coloursUsed = 0);

// A BMP file image: file header, `dib` (header + table), then `pixels`, with
// the pixel offset pointing right after `dib` unless `pixelOffset` is given.
std::vector<std::byte> bmpFile(const std::vector<std::byte>& dib,
                               const std::vector<std::byte>& pixels, std::int64_t pixelOffset = -1);

// A picture of `bits` filled with a deterministic pattern (and, for 8 bits
// and fewer, a full colour table of distinct colours).
PictureBuffer patternPicture(int width, int height, int bits);

} // namespace vemra::test

namespace vemra::test {
// Creates the one QGuiApplication that font and painter tests need (on the
// offscreen platform unless another is set) and keeps it for the process.
void ensureGuiApplication();
} // namespace vemra::test

namespace vemra::test {
// What vemra-cli printed and its exit status (-1 when it did not exit).
struct CliRun {
    int status = -1;
    std::string out;
};
// Runs vemra-cli with `arguments` (already quoted for the shell); stderr
// joins stdout unless `withErrors` is false, then it is dropped.
CliRun runCli(const std::string& arguments, bool withErrors = true);
// `text` in single quotes for the shell (it must not hold a single quote).
std::string shellQuoted(const std::string& text);
} // namespace vemra::test

namespace vemra::test {
// Sets an environment variable (for this process and the programs it
// starts) until the end of the scope, then puts the old value back. Setting
// "TZ" also makes the C library take up the new local time zone.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string m_name;
    std::string m_old;
    bool m_had = false;
};
} // namespace vemra::test
