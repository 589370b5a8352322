#include "platform/linux/IconvCodec936.h"

#include "common/Codec936Contract.h"

#include <gtest/gtest.h>

TEST(IconvCodec936, PassesTheCodePageContract) {
    const IconvCodec936 codec;
    expectCodec936Contract(codec);
}
