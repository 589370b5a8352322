#pragma once

#include "keywords/KeywordList.h"
#include "platform/Prompts.h"

#include <QString>

// The list-file routines of the main window: the reader, the writer, the header probe and
// the existence test. Messages go through the prompts the caller gives.
class ListFile {
public:
    enum class ReadResult { Ok, CannotOpen, NotRecognised, NewerVersion };

    explicit ListFile(Prompts& prompts);

    // True when the length of the named file can be read.
    bool FileExists(const QString& path) const;
    // The version text of the header (up to 4 characters), or empty when the first line
    // is not a list-file header. Sets *ok to false when the file cannot be opened or read.
    QString GetListVersion(const QString& path, bool* ok = nullptr) const;
    // Merges the file into the list; shows its own messages. The result tells the caller
    // how it went (the main window keeps an unreadable KeyList.dat aside before saving).
    ReadResult InputList(const QString& path, KeywordList& list);
    // Replaces the file with the header and every entry; shows its own message on failure.
    // Returns true when the new file is in place.
    bool OutputList(const QString& path, const KeywordList& list);

private:
    Prompts& m_prompts;
};
