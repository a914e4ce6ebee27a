#include "codepage.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iconv.h>

namespace qmv {

namespace {

std::atomic<int> g_codePage{0};

int CodePageFromLocale(const char* locale) {
    if (!locale || !*locale)
        return 1252;
    const std::string l(locale);
    if (l.compare(0, 2, "ja") == 0)
        return 932;
    if (l.compare(0, 5, "zh_CN") == 0 || l.compare(0, 5, "zh_SG") == 0)
        return 936;
    if (l.compare(0, 5, "zh_TW") == 0 || l.compare(0, 5, "zh_HK") == 0)
        return 950;
    if (l.compare(0, 2, "ko") == 0)
        return 949;
    return 1252;
}

} // namespace

int DetectCodePage() {
    if (const char* forced = std::getenv("QMVWIN_CODEPAGE"); forced && *forced) {
        const int cp = std::atoi(forced);
        if (cp > 0)
            return cp;
    }
    // The same precedence the C library gives these variables.
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* v = std::getenv(name);
        if (v && *v)
            return CodePageFromLocale(v);
    }
    return 1252;
}

namespace {

// Converts with iconv; undecodable input becomes replacement, never an error or a loop.
std::string Convert(const std::string& in, const std::string& from, const std::string& to,
                    const std::string& replacement) {
    if (in.empty())
        return {};
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return in;
    std::string out;
    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buffer[1024];
    while (srcLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (a sequence cut short at the end): skip one byte.
            out += replacement;
            ++src;
            --srcLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    iconv_close(cd);
    return out;
}

// Steps over one UTF-8 character so that an unconvertible one is replaced as a whole.
std::string Utf8ToCodePageBySteps(const std::string& utf8, const std::string& target) {
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        std::size_t len = c < 0x80         ? 1
                          : (c >> 5) == 6  ? 2
                          : (c >> 4) == 14 ? 3
                          : (c >> 3) == 30 ? 4
                                           : 1;
        if (i + len > utf8.size())
            len = utf8.size() - i;
        const std::string one = utf8.substr(i, len);
        const std::string converted = Convert(one, "UTF-8", target, "\x01");
        if (converted.find('\x01') != std::string::npos && one.find('\x01') == std::string::npos)
            out += '?';
        else
            out += converted;
        i += len;
    }
    return out;
}

} // namespace

int ActiveCodePage() {
    int cp = g_codePage.load();
    if (cp == 0) {
        cp = DetectCodePage();
        g_codePage.store(cp);
    }
    return cp;
}

void SetActiveCodePage(int codePage) {
    g_codePage.store(codePage);
}

std::string CodePageName(int codePage) {
    return "CP" + std::to_string(codePage);
}

std::string CodePageToUtf8(const std::string& bytes, int codePage) {
    bool ascii = true;
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return bytes;
    return Convert(bytes, CodePageName(codePage), "UTF-8", "\xEF\xBF\xBD");
}

std::string CodePageToUtf8(const std::string& bytes) {
    return CodePageToUtf8(bytes, ActiveCodePage());
}

std::string Utf8ToCodePage(const std::string& utf8, int codePage) {
    bool ascii = true;
    for (const char c : utf8)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return utf8;
    return Utf8ToCodePageBySteps(utf8, CodePageName(codePage));
}

std::string Utf8ToCodePage(const std::string& utf8) {
    return Utf8ToCodePage(utf8, ActiveCodePage());
}

bool IsLeadByte(unsigned char b, int codePage) {
    switch (codePage) {
    case 932:
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936:
    case 949:
    case 950:
        return b >= 0x81 && b <= 0xFE;
    default:
        return false;
    }
}

bool IsLeadByte(unsigned char b) {
    return IsLeadByte(b, ActiveCodePage());
}

std::size_t WholeCharPrefix(const std::string& bytes, std::size_t maxBytes, int codePage) {
    std::size_t i = 0;
    const std::size_t limit = bytes.size() < maxBytes ? bytes.size() : maxBytes;
    while (i < limit) {
        const std::size_t step = IsLeadByte(static_cast<unsigned char>(bytes[i]), codePage) ? 2 : 1;
        if (i + step > limit)
            break;
        i += step;
    }
    return i;
}

std::size_t WholeCharPrefix(const std::string& bytes, std::size_t maxBytes) {
    return WholeCharPrefix(bytes, maxBytes, ActiveCodePage());
}

} // namespace qmv
