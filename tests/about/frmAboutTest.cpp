#include "about/frmAbout.h"
#include "app/Twips.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "../app/PrintQt.h"

#include <gtest/gtest.h>

namespace {

class FrmAbout : public ::testing::Test {
protected:
    static QLabel* label(QWidget& w, const char* name) {
        return w.findChild<QLabel*>(QString::fromLatin1(name));
    }

    // Lets deferred deletions run.
    static void settle() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
};

TEST_F(FrmAbout, ControlsCarryTheirTextsWordForWord) {
    frmAbout about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("关于"));
    EXPECT_FALSE(about.isModal());
    EXPECT_EQ(about.size(), QSize(478, 261));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    EXPECT_FALSE(about.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(about.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(about.windowIcon().isNull());

    struct Expect {
        const char* name;
        QString text;
        QRect place; // from twips; labels may grow to fit their font, never move
    };
    const Expect expects[] = {
        {"lblTitle", QStringLiteral("墨枫哨兵"), Twips::rect(1050, 120, 1200, 285)},
        {"lblDescription",
         QStringLiteral(
             "本软件以监控窗口标题来达到管理窗口的目的，通过设置适当的关键字可以自动关闭"
             "一些存在不良信息的窗口，防止某些人浏览一些含有不良信息的网站（如色情网站等"
             "）。本软件可以设置密码，防止他人随意修改关键字,同时它还具有隐藏、开机自动运"
             "行的功能，可以实现一劳永逸."),
         Twips::rect(1080, 720, 5325, 915)},
        {"lblVersion", QStringLiteral("版本：1.00"), Twips::rect(1080, 1800, 3885, 225)},
        {"Label5", QStringLiteral("E-Mail:"), Twips::rect(1080, 2760, 630, 180)},
        {"Label4", frmAbout::mailAddress(), Twips::rect(1800, 2760, 1440, 180)},
    };
    for (const Expect& e : expects) {
        QLabel* l = label(about, e.name);
        ASSERT_NE(l, nullptr) << e.name;
        EXPECT_EQ(l->text(), e.text) << e.name;
        EXPECT_EQ(l->pos(), e.place.topLeft()) << e.name;
        EXPECT_GE(l->width(), e.place.width()) << e.name;
        EXPECT_GE(l->height(), e.place.height()) << e.name;
    }
    EXPECT_TRUE(frmAbout::mailAddress().contains(QLatin1Char('@')));
    EXPECT_EQ(label(about, "lblTitle")->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    EXPECT_NEAR(label(about, "lblTitle")->font().pointSizeF(), 14.25, 0.01);
    EXPECT_EQ(label(about, "Label4")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_TRUE(label(about, "Label4")->font().underline());

    auto* ok = about.findChild<QPushButton*>(QStringLiteral("cmdOK"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("确定"));
    EXPECT_EQ(ok->geometry(), Twips::rect(5160, 3240, 1500, 345));
    EXPECT_TRUE(ok->isDefault());
    auto* line = about.findChild<QFrame*>(QStringLiteral("Line1"));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->y(), 200);
    EXPECT_EQ(line->palette().color(QPalette::Window), QColor(128, 128, 128));
}

TEST_F(FrmAbout, EnterEscapeAndOkEachCloseAndDestroyTheBox) {
    struct Case {
        const char* how;
        std::function<void(frmAbout&)> act;
    };
    const Case cases[] = {
        {"Enter", [](frmAbout& a) { QTest::keyClick(&a, Qt::Key_Return); }},
        {"keypad Enter", [](frmAbout& a) { QTest::keyClick(&a, Qt::Key_Enter); }},
        {"Escape", [](frmAbout& a) { QTest::keyClick(&a, Qt::Key_Escape); }},
        {"click",
         [](frmAbout& a) {
             QTest::mouseClick(a.findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
         }},
        {"close box", [](frmAbout& a) { a.close(); }},
    };
    for (const Case& c : cases) {
        QPointer<frmAbout> about = new frmAbout;
        about->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(about.data())) << c.how;
        c.act(*about);
        settle();
        EXPECT_TRUE(about.isNull()) << c.how;
        delete about.data();
    }
}

TEST_F(FrmAbout, MailLinkOpensMailtoTheShownAddress) {
    QList<QUrl> opened;
    frmAbout about([&opened](const QUrl& url) { opened.append(url); });
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QLabel* link = label(about, "Label4");
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(3, 3));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first().toString(), QStringLiteral("mailto:") + link->text());
    EXPECT_EQ(opened.first().scheme(), QStringLiteral("mailto"));
    // Another label is no link, and the box stays open after the link.
    QTest::mouseClick(label(about, "Label5"), Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(opened.size(), 1);
    EXPECT_TRUE(about.isVisible());
}

} // namespace
