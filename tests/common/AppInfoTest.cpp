#include "common/AppInfo.h"

#include <gtest/gtest.h>

TEST(AppInfo, NamesAndPaths) {
    EXPECT_EQ(AppInfo::title(), QString::fromUtf8("墨枫哨兵"));
    EXPECT_EQ(AppInfo::mainCaption(), QString::fromUtf8("墨枫哨兵 1.00"));
    const AppInfo info(QStringLiteral("/opt/guard dir/"), QStringLiteral("sentinel"));
    EXPECT_EQ(info.exeDir(), QStringLiteral("/opt/guard dir"));
    EXPECT_EQ(info.baseName(), QStringLiteral("sentinel"));
    EXPECT_EQ(info.keyListPath(), QStringLiteral("/opt/guard dir/KeyList.dat"));
    EXPECT_EQ(AppInfo(QStringLiteral("/x"), QStringLiteral("Quelvark.exe")).baseName(),
              QStringLiteral("Quelvark"));
}
