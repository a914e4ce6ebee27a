// File commands: check, export-text, resave.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "data/codepage.h"
#include "data/datafile.h"
#include "data/profile.h"
#include "data/version.h"
#include "output/textexport.h"

namespace qmvtool {

namespace {

std::string Terminal(const std::string& bytes) {
    return qmv::CodePageToUtf8(bytes);
}

std::string FileNamePart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The load-error message the program shows, with what went wrong in brackets.
std::string LoadErrorText(const std::string& detail) {
    const auto& t = qmv::InterfaceTexts();
    std::string text = t.Text("Msg", "MsgDataErr0");
    const std::string& second = t.Text("Msg", "MsgFileErr");
    if (!second.empty())
        text += (text.empty() ? "" : " ") + second;
    if (!detail.empty())
        text += (text.empty() ? "" : " ") + ("(" + detail + ")");
    return Terminal(text);
}

// Loads a data file as opening it in the program does, including what showing it parses.
bool LoadForUse(const std::string& path, qmv::DocumentData& doc, std::string& error) {
    const qmv::LoadResult r = qmv::LoadDataFile(path, doc);
    if (r.status == qmv::LoadStatus::OpenFailed) {
        error = r.detail;
        return false;
    }
    if (r.status != qmv::LoadStatus::Ok) {
        error = LoadErrorText(r.detail);
        return false;
    }
    try {
        qmv::CheckForDisplay(doc);
    } catch (const qmv::EConvertError& e) {
        doc.Records.clear();
        doc.Memo.clear();
        error = LoadErrorText(e.what());
        return false;
    }
    return true;
}

int RunCheck(const std::vector<std::string>& args) {
    if (args.empty())
        return UsageError("check", "no data file given");
    LoadInterfaceTexts();
    int status = ExitOk;
    for (const std::string& path : args) {
        qmv::DocumentData doc;
        std::string error;
        if (LoadForUse(path, doc, error)) {
            std::printf("%s: ok %zu records, model %d\n", path.c_str(), doc.Records.size(),
                        doc.Model);
        } else {
            std::printf("%s: error %s\n", path.c_str(), error.c_str());
            status = ExitFailed;
        }
    }
    return status;
}

int RunExportText(const std::vector<std::string>& args) {
    if (args.size() != 2)
        return UsageError("export-text", "expected IN.q27 and OUT.txt");
    LoadInterfaceTexts();
    qmv::DocumentData doc;
    std::string error;
    if (!LoadForUse(args[0], doc, error)) {
        std::fprintf(stderr, "qmvtool export-text: %s: %s\n", args[0].c_str(), error.c_str());
        return ExitFailed;
    }
    const auto& texts = qmv::InterfaceTexts();
    const std::string modelName = doc.Model == qmv::ModelNone
                                      ? std::string()
                                      : texts.Text("Model", qmv::ModelTextKey(doc.Model));
    const qmv::SaveResult r =
        qmv::ExportText(args[1], FileNamePart(args[0]), modelName, doc, texts);
    if (r.status != qmv::SaveStatus::Ok) {
        std::fprintf(stderr, "qmvtool export-text: %s: %s\n", args[1].c_str(), r.detail.c_str());
        return ExitFailed;
    }
    return ExitOk;
}

int RunResave(const std::vector<std::string>& args) {
    if (args.size() != 2)
        return UsageError("resave", "expected IN.q27 and OUT.q27");
    LoadInterfaceTexts();
    qmv::DocumentData doc;
    std::string error;
    if (!LoadForUse(args[0], doc, error)) {
        std::fprintf(stderr, "qmvtool resave: %s: %s\n", args[0].c_str(), error.c_str());
        return ExitFailed;
    }
    const qmv::SaveResult r = qmv::SaveDataFile(args[1], doc, qmv::VersionText());
    if (r.status != qmv::SaveStatus::Ok) {
        std::fprintf(stderr, "qmvtool resave: %s: %s\n", args[1].c_str(), r.detail.c_str());
        return ExitFailed;
    }
    return ExitOk;
}

const CommandRegistrar
    checkCommand({"check", "check that data files load as the program loads them",
                  "usage: qmvtool check FILE...\n"
                  "\n"
                  "Loads each data file as opening it in the program would and prints one line\n"
                  "per file: 'ok', the record count and the model code, or 'error' and why.\n"
                  "Exit status: 0 when every file loaded, 1 when any failed, 2 for bad usage.\n",
                  RunCheck});

const CommandRegistrar
    exportCommand({"export-text", "write a data file as tab-separated text",
                   "usage: qmvtool export-text IN.q27 OUT.txt\n"
                   "\n"
                   "Writes the text export of a data file, with the headings of the\n"
                   "language file. OUT.txt is replaced only when the whole export was written\n"
                   "(a file in a folder you may not write is written over in place).\n"
                   "Exit status: 0 on success, 1 on failure, 2 for bad usage.\n",
                   RunExportText});

const CommandRegistrar
    resaveCommand({"resave", "load a data file and save it again",
                   "usage: qmvtool resave IN.q27 OUT.q27\n"
                   "\n"
                   "Loads a data file and saves it in the current form (an older header form\n"
                   "comes out in the current one). OUT.q27 may be IN.q27; it is replaced only\n"
                   "when the whole file was written (a file in a folder you may not write is\n"
                   "written over in place).\n"
                   "Exit status: 0 on success, 1 on failure, 2 for bad usage.\n",
                   RunResave});

} // namespace

} // namespace qmvtool
