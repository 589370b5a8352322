#pragma once

#include "keywords/KeywordList.h"
#include "keywords/ListFileSteps.h"
#include "platform/Prompts.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

// The list-file routines of the main window: the reader, the writer, the header probe and
// the existence test. Messages go through the prompts the caller gives.
//
// A file is replaced atomically: the new content goes to a temporary file in the same folder
// and then takes the old file's place, so a failed save never harms the old file.
class ListFile {
public:
    // TooMany: the list filled up before the file's last new keyword.
    enum class ReadResult { Ok, CannotOpen, NotRecognised, NewerVersion, TooMany };
    // How a symbolic link at the path is taken. A file the user names (import, export) is
    // read and written through its link; the program's own store never is, since whoever
    // may write its folder could point it at any file the program's user may write.
    enum class Links { Follow, Refuse };
    // The most keywords the list holds: its entries are addressed by a 16-bit signed index.
    static constexpr int kMaxKeywords = 32767;

    explicit ListFile(Prompts& prompts);
    // With the steps a test wants to fail; they must outlive this object.
    ListFile(Prompts& prompts, ListFileSteps& steps);

    // True when the length of the named file can be read (it exists and is no directory).
    bool FileExists(const QString& path) const;
    // The version text of the header (up to 4 characters), or empty when the first line
    // is not a list-file header. Sets *ok to false when the file cannot be opened or read.
    QString GetListVersion(const QString& path, bool* ok = nullptr) const;
    // Merges the file into the list; shows its own messages. The result tells the caller
    // how it went (the main window keeps an unreadable KeyList.dat aside before saving).
    // Refuse: a link at the path cannot be opened.
    ReadResult InputList(const QString& path, KeywordList& list, Links links = Links::Follow);
    // The same on bytes from an open device.
    ReadResult InputListFrom(QIODevice& device, KeywordList& list);
    // Replaces the file with the header and every entry; shows its own message on failure.
    // Returns true when the new file is in place. A read-only old file is replaced; the new
    // file keeps the old one's permissions, made writable by its owner. Follow: a link at
    // the path stays and its target is replaced; Refuse: the link itself is replaced.
    bool OutputList(const QString& path, const KeywordList& list, Links links = Links::Follow);

    // Keeps the file at path aside as path + ".bak" (replacing an older one), so that a
    // store that could not be read survives the next save. Renames it, so its bytes and mode
    // stay exactly as they were and a link there is moved, never read or written through.
    // True when the file is now at path + ".bak". Shows no message.
    bool KeepAside(const QString& path);

    // The bytes OutputList writes for the list: the header line and each entry, each line
    // ending with CR LF, in code page 936.
    static QByteArray ListBytes(const KeywordList& list);

private:
    ReadResult cannotOpen();
    ReadResult tooMany();
    bool replaceFile(const QString& path, const QByteArray& bytes, Links links);
    bool writeBeside(const QString& target, const QByteArray& bytes);

    Prompts& m_prompts;
    ListFileSteps m_ownSteps;
    ListFileSteps& m_steps;
};
