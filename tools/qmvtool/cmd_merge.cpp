// merge: the records and memo lines of several data files gathered into one, as the program's
// merge command gathers them into a document.
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "command.h"
#include "data/codepage.h"
#include "data/datafile.h"
#include "data/merge.h"
#include "data/paths.h"
#include "data/profile.h"
#include "data/version.h"

namespace qmvtool {

namespace {

// A two-part message of the language file on one terminal line, with what went wrong in brackets.
std::string Message(const char* key1, const char* key2, const std::string& detail = {}) {
    const auto& t = qmv::InterfaceTexts();
    std::string text = t.Text("Msg", key1);
    const std::string& second = t.Text("Msg", key2);
    if (!second.empty())
        text += (text.empty() ? "" : " ") + second;
    if (!detail.empty())
        text += (text.empty() ? "" : " ") + ("(" + detail + ")");
    return qmv::CodePageToUtf8(text);
}

// The first file, loaded as opening it in the program loads it.
bool LoadFirst(const std::string& path, qmv::DocumentData& doc) {
    const qmv::LoadResult r = qmv::LoadDataFile(path, doc);
    std::string error;
    if (r.status == qmv::LoadStatus::OpenFailed)
        error = r.detail;
    else if (r.status != qmv::LoadStatus::Ok)
        error = Message("MsgDataErr0", "MsgFileErr", r.detail);
    else
        try {
            qmv::CheckForDisplay(doc);
        } catch (const qmv::EConvertError& e) {
            error = Message("MsgDataErr0", "MsgFileErr", e.what());
        }
    if (error.empty())
        return true;
    std::fprintf(stderr, "qmvtool merge: %s: %s\n", path.c_str(), error.c_str());
    return false;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

int RunMerge(const std::vector<std::string>& all) {
    std::vector<std::string> args;
    bool force = false;
    for (const std::string& a : all) {
        if (a == "--force")
            force = true;
        else if (a.rfind("--", 0) == 0)
            return UsageError("merge", "unknown option " + a);
        else
            args.push_back(a);
    }
    if (args.size() < 3)
        return UsageError("merge", "expected OUT.q27, FIRST.q27 and at least one more data file");
    // OUT may be FIRST, as the window's merge adds to the open document, but never a file merged
    // into it: that one would be lost whatever became of its own merge.
    const std::string& out = args[0];
    for (std::size_t i = 2; i < args.size(); ++i)
        if (qmv::SameFile(out, args[i]))
            return UsageError("merge", out + " is one of the files merged into " + args[1] +
                                           "; it is never replaced");
    if (!force && Exists(out) && !qmv::SameFile(out, args[1]))
        return UsageError("merge",
                          out + " exists and is not " + args[1] + "; give --force to replace it");
    LoadInterfaceTexts();
    qmv::DocumentData doc;
    if (!LoadFirst(args[1], doc))
        return ExitFailed;

    int status = ExitOk;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& path = args[i];
        const qmv::MergeResult r = qmv::MergeDataFile(doc, path);
        std::string line;
        switch (r.status) {
        case qmv::MergeStatus::Merged:
            line = std::to_string(r.added) + " records merged";
            break;
        case qmv::MergeStatus::LimitReached:
            line = Message("MsgDataOver0", "MsgOverErr",
                           std::to_string(r.dropped) + " records left out");
            status = ExitFailed;
            break;
        case qmv::MergeStatus::ModelMismatch:
            line = Message("MsgModErr0", "MsgModErr1", r.detail);
            status = ExitFailed;
            break;
        case qmv::MergeStatus::BadData:
            line = Message("MsgDataErr0", "MsgDataErr1", r.detail);
            status = ExitFailed;
            break;
        case qmv::MergeStatus::OpenFailed:
            line = r.detail;
            status = ExitFailed;
            break;
        }
        std::printf("%s: %s\n", path.c_str(), line.c_str());
        if (r.status == qmv::MergeStatus::Merged || r.status == qmv::MergeStatus::LimitReached)
            doc = r.after;
    }

    const qmv::SaveResult saved = qmv::SaveDataFile(args[0], doc, qmv::VersionText());
    if (saved.status != qmv::SaveStatus::Ok) {
        std::fprintf(stderr, "qmvtool merge: %s: %s\n", args[0].c_str(), saved.detail.c_str());
        return ExitFailed;
    }
    std::printf("%s: %zu records, model %d\n", args[0].c_str(), doc.Records.size(), doc.Model);
    return status;
}

const CommandRegistrar mergeCommand(
    {"merge", "merge data files into one, as the merge command does",
     "usage: qmvtool merge OUT.q27 FIRST.q27 MORE.q27... [--force]\n"
     "\n"
     "Loads FIRST.q27 as a document and merges each further file into it in turn: its\n"
     "records after the document's, its memo lines after the document's memo. A file of\n"
     "another model, or one that does not read, is left out with the program's message;\n"
     "records past 250 in all are left out with the program's warning. The result is\n"
     "saved to OUT.q27 unless FIRST.q27 does not load; OUT.q27 is replaced only when the\n"
     "whole file was written.\n"
     "OUT.q27 may be FIRST.q27, never one of MORE.q27 (by any name). An existing OUT.q27\n"
     "that is not FIRST.q27 is replaced only with --force.\n"
     "Exit status: 0 when every file was merged whole, 1 when a file was left out, records\n"
     "were left out or a file could not be read or written, 2 for bad usage or OUT.q27\n"
     "refused (nothing is written then).\n",
     RunMerge});

} // namespace

} // namespace qmvtool
