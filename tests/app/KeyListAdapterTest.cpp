#include "app/KeyListAdapter.h"
#include "platform/qt/QtText.h"

#include <QListWidget>

#include "PrintQt.h"

#include <gtest/gtest.h>

namespace {

TEST(KeyListAdapter, EveryChangeBumpsTheRevisionAndMembershipFollows) {
    QListWidget box;
    KeyListAdapter list(box);
    struct Step {
        const char* what;
        std::function<void()> act;
        QStringList expected;
    };
    const Step steps[] = {
        {"append", [&] { list.append(u"a"); }, {"a"}},
        {"append again", [&] { list.append(u"a"); }, {"a", "a"}},
        {"insert", [&] { list.insert(1, QStringLiteral("b")); }, {"a", "b", "a"}},
        {"remove", [&] { list.removeAt(0); }, {"b", "a"}},
        {"remove the other copy", [&] { list.removeAt(1); }, {"b"}},
        // Changed around the adapter, straight on the list box.
        {"list box add", [&] { box.addItem(QStringLiteral("c")); }, {"b", "c"}},
        {"list box edit", [&] { box.item(0)->setText(QStringLiteral("d")); }, {"d", "c"}},
        {"list box take", [&] { delete box.takeItem(1); }, {"d"}},
        {"clear", [&] { list.clear(); }, {}},
        {"clear empty", [&] { list.clear(); }, {}},
    };
    for (const Step& s : steps) {
        const quint64 before = list.revision();
        s.act();
        EXPECT_GT(list.revision(), before) << s.what;
        EXPECT_EQ(list.entries(), s.expected) << s.what;
        EXPECT_EQ(list.count(), box.count()) << s.what;
        for (const QString& k : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                                 QStringLiteral("d"), QStringLiteral("A")})
            EXPECT_EQ(list.contains(QtText::fromQ(k)), s.expected.contains(k))
                << s.what << " " << k.toStdString();
    }
}

TEST(KeyListAdapter, OutOfRangeEditsChangeNothing) {
    QListWidget box;
    KeyListAdapter list(box);
    list.append(u"a");
    const std::uint64_t revision = list.revision();
    EXPECT_FALSE(list.removeAt(-1));
    EXPECT_FALSE(list.removeAt(1));
    EXPECT_FALSE(list.insert(2, QStringLiteral("x")));
    EXPECT_FALSE(list.insert(-1, QStringLiteral("x")));
    EXPECT_EQ(list.revision(), revision);
    EXPECT_EQ(list.entries(), QStringList{QStringLiteral("a")});
    EXPECT_EQ(list.at(5), u"");
    EXPECT_TRUE(list.insert(1, QStringLiteral("end")));
    EXPECT_EQ(list.entries(), (QStringList{QStringLiteral("a"), QStringLiteral("end")}));
}

TEST(KeyListAdapter, SelectionIndexIsMinusOneWithoutSelection) {
    QListWidget box;
    KeyListAdapter list(box);
    EXPECT_EQ(list.selectionIndex(), -1);
    list.append(u"a");
    list.append(u"b");
    box.setCurrentRow(1);
    EXPECT_EQ(list.selectionIndex(), 1);
    // Removing the selected entry leaves nothing selected.
    list.removeAt(1);
    EXPECT_EQ(list.selectionIndex(), -1);
}

} // namespace
