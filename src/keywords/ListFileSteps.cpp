#include "keywords/ListFileSteps.h"

bool ListFileSteps::write(QSaveFile& file, const QByteArray& bytes) {
    return file.write(bytes) == bytes.size();
}

bool ListFileSteps::commit(QSaveFile& file) {
    return file.commit();
}
