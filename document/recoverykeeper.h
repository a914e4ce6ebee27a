// Keeps a document with unsaved changes in this program's recovery folder, shortly after each
// change, so that a crash, a kill or a power cut loses at most the last second of work.
#pragma once

#include <QObject>
#include <QTimer>
#include <string>

namespace qmv {

class TMDIChild;

class RecoveryKeeper : public QObject {
public:
    explicit RecoveryKeeper(TMDIChild& doc);

    // Longest wait from a change to its record: typing goes on undisturbed, and a steady stream
    // of changes still reaches the folder once a second.
    static constexpr int DelayMs = 1000;

    // A change: the record is written when the delay has passed since the first change not yet
    // kept.
    void Changed();
    // Writes the record now when there is something unsaved, removes it otherwise. False when a
    // record was due and could not be written.
    bool KeepNow();
    // The document was saved, closed without saving, or is going away with the program.
    void Remove();
    // Where this document's record is (written or not); empty without a recovery folder.
    std::string Path() const;

private:
    TMDIChild& doc_;
    QTimer timer_;
    int id_;
    std::string kept_; // the record written, until it is removed
};

} // namespace qmv
