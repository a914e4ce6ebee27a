// The language file reader (private-profile semantics) and the interface text table.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace qmv {

// An INI-style file read once. Section and key names are compared without regard to case, the
// first match wins, a value is the text after "=" with surrounding blanks removed and at most
// 255 bytes long. A missing file, section or key gives an empty text.
class ProfileFile {
public:
    static constexpr std::size_t MaxValueBytes = 255;

    bool LoadFile(const std::string& path);
    void LoadBytes(const std::string& bytes);
    std::string Value(const std::string& section, const std::string& key) const;

private:
    struct Entry {
        std::string section; // lower case
        std::string key;     // lower case
        std::string value;
    };
    std::vector<Entry> entries_;
};

struct TextKey {
    const char* section;
    const char* key;
};

// Every interface text of the program, by section and key, loaded once at start.
class TextTable {
public:
    // Every (section, key) the program reads, in the order it reads them.
    static const std::vector<TextKey>& Keys();

    // Loads every key of Keys() from the file; a missing file leaves every text empty.
    // Returns false when the file could not be read.
    bool Load(const std::string& path);
    void Load(const ProfileFile& file);
    void Clear();
    void Set(const std::string& section, const std::string& key, const std::string& value);

    // The text in the code page's bytes; empty when absent. Case-insensitive.
    const std::string& Text(const std::string& section, const std::string& key) const;

private:
    std::vector<std::pair<std::string, std::string>> texts_; // "section\nkey" lower case, value
};

// The program-wide table that every window reads its texts from.
TextTable& InterfaceTexts();

} // namespace qmv
