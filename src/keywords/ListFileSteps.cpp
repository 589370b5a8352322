#include "keywords/ListFileSteps.h"

#include <cstdio>

#include <unistd.h>

bool ListFileSteps::write(QFile& file, const QByteArray& bytes) {
    return file.write(bytes) == bytes.size();
}

bool ListFileSteps::commit(QFile& file, const QString& temporary, const QString& target) {
    // The flush is checked here: a write error of the last buffered bytes would otherwise
    // go unseen, and a cut file would take the old one's place.
    if (!file.flush() || ::fsync(file.handle()) != 0)
        return false;
    // rename replaces the name itself: a link found there is replaced, never its target.
    return std::rename(QFile::encodeName(temporary).constData(),
                       QFile::encodeName(target).constData()) == 0;
}
