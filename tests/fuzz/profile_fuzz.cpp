// The language file reader and the interface text table on arbitrary bytes. Every text it gives
// stays within its 255-byte limit, holds no line end, is found the same whatever the case of its
// section and key, is what the table holds, and converts to valid UTF-8 for the windows in a
// single-byte and in a double-byte code page.
#include <cstdint>
#include <string>

#include "data/codepage.h"
#include "data/profile.h"
#include "fuzzcheck.h"

using namespace qmv;

namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsValidUtf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(extra) >= s.size())
            return false;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        static const std::uint32_t minimum[4] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

void CheckText(const ProfileFile& file, const std::string& section, const std::string& key) {
    const std::string value = file.Value(section, key);
    const std::string where = "[" + section + "] " + key;
    FUZZ_CHECK(value.size() <= ProfileFile::MaxValueBytes, where);
    FUZZ_CHECK(value.find('\n') == std::string::npos, where);
    FUZZ_CHECK(file.Value(Upper(section), Upper(key)) == value, where + " depends on case");
    for (const int codePage : {1252, 932})
        FUZZ_CHECK(IsValidUtf8(CodePageToUtf8(value, codePage)),
                   where + " in code page " + std::to_string(codePage));
}

// Sections and keys named in the input itself, so that names the program never asks for are
// looked up too: every "[...]" and every text before an "=".
void CheckNamesOfTheInput(const ProfileFile& file, const std::string& bytes) {
    std::string section;
    std::size_t pos = 0;
    int probes = 0;
    while (pos < bytes.size() && probes < 64) {
        std::size_t end = bytes.find('\n', pos);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        pos = end + 1;
        std::size_t b = 0;
        while (b < line.size() && IsBlank(line[b]))
            ++b;
        line.erase(0, b);
        if (!line.empty() && line[0] == '[') {
            section = line.substr(1, line.find(']') == std::string::npos ? std::string::npos
                                                                         : line.find(']') - 1);
        } else if (const std::size_t eq = line.find('='); eq != std::string::npos) {
            CheckText(file, section, line.substr(0, eq));
            ++probes;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ProfileFile file;
    file.LoadBytes(bytes);
    TextTable table;
    table.Load(file);
    for (const TextKey& k : TextTable::Keys()) {
        CheckText(file, k.section, k.key);
        FUZZ_CHECK(table.Text(k.section, k.key) == file.Value(k.section, k.key),
                   std::string("table differs for [") + k.section + "] " + k.key);
    }
    CheckNamesOfTheInput(file, bytes);
    return 0;
}
