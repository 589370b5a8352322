#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The steps by which a list file's new content takes the old one's place: written to a
// temporary file in the same folder, then put over the old file in one rename. The real steps
// are these; a test overrides one to fail where a full disk or an interrupted save would.
class ListFileSteps {
public:
    virtual ~ListFileSteps() = default;

    // Writes the bytes to the open temporary file; false when not all of them were written.
    virtual bool write(QFile& file, const QByteArray& bytes);
    // Puts the written temporary file, open as file, in the target's place; false leaves the
    // target as it was (the caller then removes the temporary file).
    virtual bool commit(QFile& file, const QString& temporary, const QString& target);
};
