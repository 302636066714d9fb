#include "tests/support/tempdir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vorntest {

TempDir::TempDir() {
    char pattern[] = "/tmp/vorntest.XXXXXX";
    const char *made = mkdtemp(pattern);
    path_ = made != nullptr ? made : "/tmp";
}

TempDir::~TempDir() {
    if (path_ != "/tmp") {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

bool TempDir::exists(const std::string &name) const {
    return std::filesystem::exists(file(name));
}

std::string TempDir::read(const std::string &name) const {
    std::ifstream in(file(name), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string binpath(const std::string &program) {
    const char *bin = getenv("VORN_BIN");
    std::string base = bin != nullptr ? bin : VORN_BIN_DIR;
    return base + "/" + program;
}

} // namespace vorntest
