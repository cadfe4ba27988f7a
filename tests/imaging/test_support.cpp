#include "test_support.h"

#include "platform/endian.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

namespace vemra::test {

std::filesystem::path testDataDir() {
    return std::filesystem::path(VEMRA_SOURCE_DIR) / ".." / "shared" / "testdata";
}

bool hasTestData() {
    return std::filesystem::is_directory(testDataDir());
}

TempDir::TempDir() {
    static std::mt19937 random{std::random_device{}()};
    m_path = std::filesystem::temp_directory_path() /
             ("vemra-test-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::vector<std::byte> bytes(std::initializer_list<int> values) {
    std::vector<std::byte> out;
    for (const int v : values) {
        out.push_back(static_cast<std::byte>(v));
    }
    return out;
}

std::vector<std::byte> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::byte> out(data.size());
    std::transform(data.begin(), data.end(), out.begin(), [](char c) { return std::byte(c); });
    return out;
}

void writeFile(const std::string& path, const std::vector<std::byte>& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
}

std::vector<std::byte> infoHeader(std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                                  std::uint32_t compression, std::uint32_t imageSize,
                                  std::uint32_t coloursUsed) {
    std::vector<std::byte> h(40);
    storeU32(h.data(), 40);
    storeI32(h.data() + 4, width);
    storeI32(h.data() + 8, height);
    storeU16(h.data() + 12, 1);
    storeU16(h.data() + 14, bitCount);
    storeU32(h.data() + 16, compression);
    storeU32(h.data() + 20, imageSize);
    storeU32(h.data() + 32, coloursUsed);
    return h;
}

std::vector<std::byte> bmpFile(const std::vector<std::byte>& dib,
                               const std::vector<std::byte>& pixels, std::int64_t pixelOffset) {
    // Sized once and copied into: GCC 12's -O2 bounds check misreads the
    // growing inserts and fails the Release build.
    std::vector<std::byte> file(14 + dib.size() + pixels.size());
    std::copy(dib.begin(), dib.end(), file.begin() + 14);
    std::copy(pixels.begin(), pixels.end(),
              file.begin() + 14 + static_cast<std::ptrdiff_t>(dib.size()));
    storeU16(file.data(), 0x4D42);
    storeU32(file.data() + 2, static_cast<std::uint32_t>(file.size()));
    storeU32(file.data() + 10,
             static_cast<std::uint32_t>(
                 pixelOffset >= 0 ? pixelOffset : 14 + static_cast<std::int64_t>(dib.size())));
    return file;
}

PictureBuffer patternPicture(int width, int height, int bits) {
    PictureBuffer p = PictureBuffer::create(width, height, bits);
    for (int i = 0; i < p.colourEntries(); ++i) {
        p.setPaletteColour(i, colourWord(i * 37, 255 - i, i * 11));
    }
    std::uint32_t state = 12345;
    for (auto& b : p.pixels()) {
        state = state * 1103515245 + 12345;
        b = static_cast<std::byte>(state >> 16);
    }
    // Padding bytes stay zero, as every writer leaves them.
    const std::size_t used =
        (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 7) / 8;
    for (int y = 0; y < height; ++y) {
        auto row = p.row(y);
        std::fill(row.begin() + static_cast<std::ptrdiff_t>(used), row.end(), std::byte{0});
        if (bits < 8 && (width * bits) % 8 != 0) {
            const int spare = 8 - (width * bits) % 8;
            row[used - 1] &= static_cast<std::byte>(0xFF << spare);
        }
    }
    return p;
}

} // namespace vemra::test

#include <QGuiApplication>

#include <cstdlib>

namespace vemra::test {

void ensureGuiApplication() {
    if (QGuiApplication::instance() != nullptr) {
        return;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "vemra-tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

} // namespace vemra::test

#include <sys/wait.h>

#include <array>
#include <cstdio>

namespace vemra::test {

CliRun runCli(const std::string& arguments, bool withErrors) {
    std::string command = shellQuoted(VEMRA_CLI_PATH);
    command += ' ';
    command += arguments;
    command += withErrors ? " 2>&1" : " 2>/dev/null";
    CliRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    std::array<char, 4096> buffer{};
    std::size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        run.out.append(buffer.data(), got);
    }
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

// Built piece by piece: GCC 12 warns falsely about "'" + std::string.
std::string shellQuoted(const std::string& text) {
    std::string q(1, '\'');
    q += text;
    q += '\'';
    return q;
}

} // namespace vemra::test

#include <ctime>

namespace vemra::test {

ScopedEnvironment::ScopedEnvironment(std::string name, const std::string& value)
    : m_name(std::move(name)) {
    if (const char* old = std::getenv(m_name.c_str())) {
        m_old = old;
        m_had = true;
    }
    ::setenv(m_name.c_str(), value.c_str(), 1);
    if (m_name == "TZ")
        ::tzset();
}

ScopedEnvironment::~ScopedEnvironment() {
    if (m_had)
        ::setenv(m_name.c_str(), m_old.c_str(), 1);
    else
        ::unsetenv(m_name.c_str());
    if (m_name == "TZ")
        ::tzset();
}

} // namespace vemra::test
