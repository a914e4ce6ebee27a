#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace qmv::test {

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string TestData(const std::string& name) {
    return std::string(QMV_TEST_DATA_DIR) + "/" + name;
}

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class TempDir {
public:
    TempDir() {
        char name[] = "/tmp/qmvtest-XXXXXX";
        path_ = ::mkdtemp(name) ? name : "/tmp";
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

} // namespace qmv::test
