// The user manual in manual/ is read offline from the program's folder: every page's links and
// pictures must point at files of the manual (and anchors that exist), and nothing may pull in a
// script or a resource from elsewhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kManual = fs::path(QMV_SOURCE_DIR) / "manual";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Matches(const std::string& text, const std::regex& re, int group = 1) {
    std::vector<std::string> out;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
         ++it)
        out.push_back((*it)[group].str());
    return out;
}

// Only documentation of the desktop's own standards and of the distribution may be linked.
bool AllowedOutside(const std::string& url) {
    static const std::regex allowed(
        R"(^https?://([a-z0-9.-]+\.)?(freedesktop\.org|debian\.org)(/[^ ]*)?$)");
    return std::regex_match(url, allowed);
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct Page {
    fs::path path;
    std::string text;
    std::set<std::string> ids;
};

TEST(Manual, EveryLinkAndPictureStaysInTheManualAndExists) {
    ASSERT_TRUE(fs::is_regular_file(kManual / "index.html"));
    const fs::path root = fs::canonical(kManual);

    std::map<fs::path, Page> pages;
    std::vector<fs::path> styles;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string ext = Lower(entry.path().extension().string());
        if (ext == ".html") {
            Page page{entry.path(), ReadFile(entry.path()), {}};
            for (const std::string& id :
                 Matches(page.text, std::regex(R"re(\s(?:id|name)\s*=\s*["']([^"']*)["'])re")))
                page.ids.insert(id);
            pages[fs::canonical(entry.path())] = std::move(page);
        } else if (ext == ".css") {
            styles.push_back(entry.path());
        }
    }
    ASSERT_GT(pages.size(), 1u);

    const std::regex attribute(R"re(\s(?:href|src)\s*=\s*["']([^"']*)["'])re", std::regex::icase);
    const std::regex cssUrl(R"re(url\(\s*["']?([^"')]*)["']?\s*\))re");
    const std::regex scheme(R"(^[A-Za-z][A-Za-z0-9+.-]*:)");

    const auto check = [&](const fs::path& from, const std::string& link) {
        const std::string where = from.filename().string() + ": " + link;
        if (std::regex_search(link, scheme) || link.rfind("//", 0) == 0) {
            EXPECT_TRUE(AllowedOutside(link)) << where << " leaves the manual";
            return;
        }
        const auto hash = link.find('#');
        const std::string file = link.substr(0, hash);
        const std::string anchor = hash == std::string::npos ? "" : link.substr(hash + 1);
        const fs::path target = file.empty() ? from : from.parent_path() / file;
        if (!fs::exists(target)) {
            ADD_FAILURE() << where << " names a file that does not exist";
            return;
        }
        const fs::path real = fs::canonical(target);
        const auto rel = real.lexically_relative(root);
        if (rel.empty() || *rel.begin() == "..") {
            ADD_FAILURE() << where << " points outside the manual";
            return;
        }
        if (!anchor.empty()) {
            const auto page = pages.find(real);
            if (page == pages.end())
                ADD_FAILURE() << where << " has an anchor on something not a page";
            else
                EXPECT_TRUE(page->second.ids.count(anchor)) << where << " names a missing anchor";
        }
    };

    for (const auto& [path, page] : pages) {
        EXPECT_EQ(Lower(page.text).find("<script"), std::string::npos) << path;
        for (const std::string& link : Matches(page.text, attribute))
            check(path, link);
    }
    for (const fs::path& css : styles) {
        const std::string text = ReadFile(css);
        EXPECT_EQ(text.find("@import"), std::string::npos) << css;
        for (const std::string& link : Matches(text, cssUrl))
            check(css, link);
    }
}

// Links that only look like the distribution's or the desktop's documentation are not.
TEST(Manual, OutsideLinksAllowedOnlyToDesktopAndDistributionDocumentation) {
    EXPECT_TRUE(AllowedOutside("https://wiki.debian.org/SystemGroups"));
    EXPECT_TRUE(AllowedOutside("https://www.freedesktop.org/software/systemd/man/udev.html"));
    EXPECT_FALSE(AllowedOutside("https://example.com/debian.org"));
    EXPECT_FALSE(AllowedOutside("https://debian.org.example.com/"));
    EXPECT_FALSE(AllowedOutside("mailto:someone@debian.org"));
}

} // namespace
