#include "history.h"

#include "paths.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

#include "record.h"

namespace qmv {

namespace {

constexpr const char* HistoryExtension = ".q27";
// More downloads than this in one second from one model are not a person at an instrument.
constexpr int MaxSerial = 999;

std::string Two(int v) {
    return ZeroPad(v, 2);
}

// Reads exactly digits decimal digits at text[at]; false otherwise.
bool Digits(const std::string& text, std::size_t at, std::size_t digits, int& value) {
    if (at + digits > text.size())
        return false;
    value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

void Replace(std::string& text, const std::string& mark, const std::string& by) {
    const std::size_t at = text.find(mark);
    if (at != std::string::npos)
        text.replace(at, mark.size(), by);
}

} // namespace

std::string HistoryFolder(const char* xdgDataHome, const char* home) {
    return XdgProgramFolder(xdgDataHome, home, ".local/share", "history");
}

std::string HistoryFolder() {
    return HistoryFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

std::string HistoryModelName(int model) {
    switch (model) {
    case ModelQMV27:
        return "QMV-27";
    case ModelGZNMax:
        return "GZN-4P-MAX";
    case ModelGZNMid:
        return "GZN-4P-MID";
    case ModelGZNMin:
        return "GZN-4P-MIN";
    case ModelTR22B7:
        return "TR-22B7";
    default:
        return "none";
    }
}

std::string HistoryFileName(const std::tm& t, int model, int serial) {
    std::string name = ZeroPad(t.tm_year + 1900, 4) + "-" + Two(t.tm_mon + 1) + "-" +
                       Two(t.tm_mday) + "_" + Two(t.tm_hour) + "-" + Two(t.tm_min) + "-" +
                       Two(t.tm_sec) + "_" + HistoryModelName(model);
    if (serial > 1)
        name += "_" + std::to_string(serial);
    return name + HistoryExtension;
}

bool ParseHistoryFileName(const std::string& name, HistoryName& out) {
    // yyyy-mm-dd_hh-nn-ss_ is 20 characters; the model and the serial follow.
    const std::string ext = HistoryExtension;
    if (name.size() <= 20 + ext.size() || name.compare(name.size() - ext.size(), ext.size(), ext))
        return false;
    HistoryName h;
    int year = 0, month = 0;
    const char seps[] = "--_--_";
    const std::size_t sepAt[] = {4, 7, 10, 13, 16, 19};
    for (int i = 0; i < 6; ++i)
        if (name[sepAt[i]] != seps[i])
            return false;
    if (!Digits(name, 0, 4, year) || !Digits(name, 5, 2, month) ||
        !Digits(name, 8, 2, h.time.tm_mday) || !Digits(name, 11, 2, h.time.tm_hour) ||
        !Digits(name, 14, 2, h.time.tm_min) || !Digits(name, 17, 2, h.time.tm_sec))
        return false;
    if (month < 1 || month > 12 || h.time.tm_mday < 1 || h.time.tm_mday > 31 ||
        h.time.tm_hour > 23 || h.time.tm_min > 59 || h.time.tm_sec > 60)
        return false;
    h.time.tm_year = year - 1900;
    h.time.tm_mon = month - 1;
    std::string rest = name.substr(20, name.size() - 20 - ext.size());
    // A model name never ends in "_" and digits, so such an ending is the serial.
    const std::size_t underscore = rest.rfind('_');
    if (underscore != std::string::npos && underscore + 1 < rest.size() &&
        rest.find_first_not_of("0123456789", underscore + 1) == std::string::npos) {
        int serial = 0;
        if (rest.size() - underscore - 1 > 3 ||
            !Digits(rest, underscore + 1, rest.size() - underscore - 1, serial) || serial < 2)
            return false;
        h.serial = serial;
        rest.resize(underscore);
    }
    if (rest.empty())
        return false;
    h.modelName = rest;
    out = h;
    return true;
}

std::string HistoryMemoLine(const std::string& format, const std::tm& t, int records) {
    const std::string when = ZeroPad(t.tm_year + 1900, 4) + "/" + Two(t.tm_mon + 1) + "/" +
                             Two(t.tm_mday) + " " + Two(t.tm_hour) + ":" + Two(t.tm_min) + ":" +
                             Two(t.tm_sec);
    std::string line = format;
    Replace(line, "%1", when);
    Replace(line, "%2", std::to_string(records));
    return line;
}

std::vector<HistoryEntry> ListHistory(const std::string& folder) {
    std::vector<HistoryEntry> list;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return list;
    while (const dirent* e = ::readdir(dir)) {
        HistoryEntry entry;
        if (!ParseHistoryFileName(e->d_name, entry.name))
            continue;
        entry.path = folder + "/" + e->d_name;
        DocumentData doc;
        if (LoadDataFile(entry.path, doc).status == LoadStatus::Ok)
            entry.records = static_cast<int>(doc.Records.size());
        list.push_back(std::move(entry));
    }
    ::closedir(dir);
    const auto key = [](const HistoryEntry& e) {
        const std::tm& t = e.name.time;
        return std::make_tuple(t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                               e.name.serial, e.path);
    };
    std::sort(list.begin(), list.end(),
              [&](const HistoryEntry& a, const HistoryEntry& b) { return key(a) > key(b); });
    return list;
}

HistoryWriteResult WriteHistoryFile(const std::string& folder, const DocumentData& doc,
                                    const std::string& versionText, const std::tm& local,
                                    const ChunkWriter& writer) {
    HistoryWriteResult r;
    if (folder.empty())
        return {HistoryWriteStatus::NoFolder, {}, "no home folder is known"};
    if (!MakeUserFolders(folder, r.detail)) {
        r.status = HistoryWriteStatus::NoFolder;
        return r;
    }
    for (int serial = 1;; ++serial) {
        if (serial > MaxSerial)
            return {HistoryWriteStatus::NoName, {}, folder + ": no free name"};
        r.path = folder + "/" + HistoryFileName(local, doc.Model, serial);
        const int fd = ::open(r.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            break;
        }
        if (errno != EEXIST)
            return {HistoryWriteStatus::NoName, {}, r.path + ": " + std::strerror(errno)};
    }
    const SaveResult saved = SaveDataFile(r.path, doc, versionText, writer);
    if (saved.status == SaveStatus::Ok)
        return r;
    // The claimed name holds nothing yet: give it back rather than leave an empty file behind.
    struct stat st {};
    if (::stat(r.path.c_str(), &st) == 0 && st.st_size == 0)
        ::unlink(r.path.c_str());
    return {HistoryWriteStatus::WriteFailed, r.path, saved.detail};
}

} // namespace qmv
