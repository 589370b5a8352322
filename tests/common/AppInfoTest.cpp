#include "common/AppInfo.h"

#include <gtest/gtest.h>

TEST(AppInfo, NamesAndPaths) {
    EXPECT_EQ(AppInfo::title(), u"墨枫哨兵");
    EXPECT_EQ(AppInfo::mainCaption(), u"墨枫哨兵 1.00");
    const AppInfo info(u"/opt/guard dir/", u"sentinel");
    EXPECT_EQ(info.exeDir(), u"/opt/guard dir");
    EXPECT_EQ(info.baseName(), u"sentinel");
    EXPECT_EQ(info.exePath(), u"/opt/guard dir/sentinel");
    EXPECT_EQ(info.keyListPath(), u"/opt/guard dir/KeyList.dat");
    EXPECT_EQ(AppInfo(u"/x", u"Quelvark.exe").baseName(), u"Quelvark");
    EXPECT_EQ(AppInfo(u"/", u"sentinel").exeDir(), u"/");
}

TEST(AppInfo, WindowsSeparator) {
    const AppInfo info(u"C:\\Program Files\\墨枫哨兵\\", u"sentinel.exe", u'\\');
    EXPECT_EQ(info.exeDir(), u"C:\\Program Files\\墨枫哨兵");
    EXPECT_EQ(info.exePath(), u"C:\\Program Files\\墨枫哨兵\\sentinel.exe");
    EXPECT_EQ(info.keyListPath(), u"C:\\Program Files\\墨枫哨兵\\KeyList.dat");
    EXPECT_EQ(info.baseName(), u"sentinel");
}
