// libFuzzer entry: the list reader over arbitrary bytes.
#include "ListFileFuzzCheck.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QString why;
    if (!ListFileFuzzCheck::run(data, size, &why)) {
        std::fprintf(stderr, "list reader: %s\n", why.toUtf8().constData());
        std::abort();
    }
    return 0;
}
