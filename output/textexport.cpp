#include "textexport.h"

#include "data/record.h"

namespace qmv {

std::string FormatTextExport(const std::string& caption, const std::string& modelName,
                             const DocumentData& doc, const TextTable& texts) {
    const std::string tab = "\t";
    const std::string crlf = "\r\n";
    // Only the logger measures filters; other models leave those columns out.
    const bool withFilters = doc.Model == ModelQMV27;
    const auto t = [&texts](const char* s, const char* k) { return texts.Text(s, k); };

    std::string out;
    out += t("Graph", "PrintFile") + tab + caption + crlf;
    out += t("Model", "Model") + tab + modelName + crlf;
    out += t("Graph", "PrintRecord") + tab + t("Graph", "PrintDataNo") + tab +
           t("Graph", "PrintOnatsu") + tab + t("Graph", "PrintDate") + tab;
    if (withFilters)
        out += t("Graph", "PrintBPF") + " (" + t("QMVData", "Hz") + ")" + tab +
               t("Graph", "PrintNF") + tab + t("Graph", "PrintNR") + tab;
    out += t("Graph", "PrintNote") + crlf;

    for (std::size_t i = 0; i < doc.Records.size(); ++i) {
        const recReadDataSeg& r = doc.Records[i];
        out += std::to_string(i + 1) + tab + FormatDataNo(doc.Model, r.DataNo) + tab + r.MinDb +
               tab + r.Date + tab;
        if (withFilters)
            out += HpfText(r.HpfCode) + " - " + LpfText(r.LpfCode) + tab + NfText(r.NfCode) + tab +
                   NrText(r.NrCode) + tab;
        out += r.Note + crlf;
    }
    if (!(doc.Memo.empty() || (doc.Memo.size() == 1 && doc.Memo[0].empty())))
        for (const std::string& line : doc.Memo)
            out += line + crlf;
    return out;
}

SaveResult ExportText(const std::string& path, const std::string& caption,
                      const std::string& modelName, const DocumentData& doc, const TextTable& texts,
                      const ChunkWriter& writer) {
    // Formatting parses every record first, so a bad field fails before the file is touched;
    // it counts as a failed write, as it would part-way through writing the file.
    std::string bytes;
    try {
        bytes = FormatTextExport(caption, modelName, doc, texts);
    } catch (const EConvertError& e) {
        return {SaveStatus::WriteFailed,
                std::string("a record field is not a number: ") + e.what()};
    }
    // An export chosen over a data file (its own, say) would put text where records were, also
    // over one that no longer loads.
    if (LooksLikeDataFile(path))
        return {SaveStatus::OpenFailed, "it is a data file, which an export never replaces",
                FileFault::DataFile};
    return WriteFileAtomically(path, bytes, writer);
}

} // namespace qmv
