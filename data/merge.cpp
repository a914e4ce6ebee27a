#include "merge.h"

#include <algorithm>

namespace qmv {

MergeResult MergeDocuments(const DocumentData& doc, const DocumentData& file) {
    MergeResult result;
    if (file.Model != doc.Model) {
        result.status = MergeStatus::ModelMismatch;
        result.detail = "model " + std::to_string(file.Model) + ", the document's is " +
                        std::to_string(doc.Model);
        return result;
    }
    const std::size_t room = static_cast<std::size_t>(MaxRecords) -
                             std::min(doc.Records.size(), static_cast<std::size_t>(MaxRecords));
    const std::size_t taken = std::min(room, file.Records.size());

    DocumentData after = doc;
    after.Records.insert(after.Records.end(), file.Records.begin(),
                         file.Records.begin() + static_cast<std::ptrdiff_t>(taken));
    after.Memo.insert(after.Memo.end(), file.Memo.begin(), file.Memo.end());
    // Checked before anything is applied: a merged record the list or the chart cannot show
    // would otherwise leave the document half refreshed.
    try {
        CheckForDisplay(after);
    } catch (const EConvertError& e) {
        result.status = MergeStatus::BadData;
        result.detail = e.what();
        return result;
    }
    result.added = static_cast<int>(taken);
    result.dropped = static_cast<int>(file.Records.size() - taken);
    result.status = result.dropped > 0 ? MergeStatus::LimitReached : MergeStatus::Merged;
    result.changed = taken > 0 || !file.Memo.empty();
    result.after = std::move(after);
    return result;
}

MergeResult MergeDataBytes(const DocumentData& doc, const std::string& bytes) {
    DocumentData file;
    const LoadResult load = ParseDataFile(bytes, file);
    if (load.status != LoadStatus::Ok) {
        MergeResult result;
        result.status = MergeStatus::BadData;
        result.detail = load.detail;
        return result;
    }
    return MergeDocuments(doc, file);
}

MergeResult MergeDataFile(const DocumentData& doc, const std::string& path) {
    DocumentData file;
    const LoadResult load = LoadDataFile(path, file);
    if (load.status != LoadStatus::Ok) {
        MergeResult result;
        // A folder or a device is no data file: reported like a missing one.
        result.status = load.status == LoadStatus::OpenFailed || load.notAFile
                            ? MergeStatus::OpenFailed
                            : MergeStatus::BadData;
        result.detail = load.detail;
        result.fault = load.fault;
        return result;
    }
    return MergeDocuments(doc, file);
}

} // namespace qmv
