#include "profile.h"

#include <algorithm>

#include "fileio.h"

namespace qmv {

namespace {

// A language file holds a few hundred short texts; a file this large is none.
constexpr std::size_t MaxProfileBytes = 1024 * 1024;

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    });
    return s;
}

std::string Trim(const std::string& s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && blank(s[b]))
        ++b;
    while (e > b && blank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

std::string TableKey(const std::string& section, const std::string& key) {
    return Lower(section) + '\n' + Lower(key);
}

// One pair of matching quotes around a value is removed, so that a text may keep blanks at
// its ends.
std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

bool ProfileFile::LoadFile(const std::string& path) {
    entries_.clear();
    // A file that cannot be read, or is not a file at all, counts as missing.
    std::string bytes;
    if (ReadRegularFile(path, bytes, MaxProfileBytes).status != ReadStatus::Ok)
        return false;
    LoadBytes(bytes);
    return true;
}

void ProfileFile::LoadBytes(const std::string& bytes) {
    entries_.clear();
    std::string section;
    bool inSection = false;
    // A UTF-8 byte-order mark would otherwise stick to the first section's name.
    static const std::string Bom = "\xEF\xBB\xBF";
    std::size_t pos = bytes.compare(0, Bom.size(), Bom) == 0 ? Bom.size() : 0;
    while (pos <= bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string line = Trim(bytes.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            const std::size_t close = line.find(']');
            section = Lower(
                Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
            inSection = true;
            continue;
        }
        if (!inSection)
            continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string value = Unquote(Trim(line.substr(eq + 1)));
        if (value.size() > MaxValueBytes)
            value.resize(MaxValueBytes);
        entries_.push_back({section, Lower(Trim(line.substr(0, eq))), value});
    }
}

std::string ProfileFile::Value(const std::string& section, const std::string& key) const {
    const std::string s = Lower(section);
    const std::string k = Lower(key);
    for (const Entry& e : entries_)
        if (e.section == s && e.key == k)
            return e.value;
    return {};
}

bool TextTable::Load(const std::string& path) {
    ProfileFile file;
    const bool ok = file.LoadFile(path);
    Load(file);
    return ok;
}

void TextTable::Load(const ProfileFile& file) {
    Clear();
    for (const TextKey& k : Keys())
        Set(k.section, k.key, file.Value(k.section, k.key));
}

void TextTable::Clear() {
    texts_.clear();
}

void TextTable::Set(const std::string& section, const std::string& key, const std::string& value) {
    const std::string k = TableKey(section, key);
    for (auto& entry : texts_)
        if (entry.first == k) {
            entry.second = value;
            return;
        }
    texts_.emplace_back(k, value);
}

const std::string& TextTable::Text(const std::string& section, const std::string& key) const {
    static const std::string empty;
    const std::string k = TableKey(section, key);
    for (const auto& entry : texts_)
        if (entry.first == k)
            return entry.second;
    return empty;
}

TextTable& InterfaceTexts() {
    static TextTable table;
    return table;
}

} // namespace qmv
