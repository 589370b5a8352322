// The real program on a private desktop (Xvfb with openbox): what a person sees of the main
// window and the About box, kept as screenshots, and the patrol at work behind a hidden
// window.
#include "PrintQt.h"
#include "platform/qt/QtText.h"

#include "about/frmAbout.h"
#include "app/AppLook.h"
#include "keywords/ListFile.h"
#include "keywords/PlainKeywordList.h"
#include "platform/x11/X11WindowSystem.h"
#include "support/ChildProcess.h"
#include "support/TestEnv.h"
#include "support/Wait.h"
#include "support/X11Frame.h"
#include "support/XvfbServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace {

const QString kMainCaption = QStringLiteral("墨枫哨兵 1.00");

QString artifactsDir() {
    const QString dir = QStringLiteral(SENTINEL_ARTIFACTS_DIR);
    QDir().mkpath(dir);
    return dir;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 30000) {
    return Wait::until(condition, timeoutMs);
}

// The visible top-level window with exactly this title, or 0.
WindowHandle findWindow(X11WindowSystem& windows, const QString& title) {
    WindowHandle found = 0;
    windows.EnumWindows([&](WindowHandle w) {
        if (windows.IsWindowVisible(w) && QtText::toQ(windows.GetWindowText(w)) == title)
            found = w;
        return found == 0;
    });
    return found;
}

using Placement = X11Frame;

Placement placementOf(const std::string& display, WindowHandle window) {
    return X11Frame::of(display, quint32(window));
}

// Pixels near a colour within a region: a sign that coloured text has been drawn there.
int pixelsLike(const QImage& image, const QRect& region, const std::function<bool(QColor)>& like) {
    int n = 0;
    const QRect r = region.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += like(image.pixelColor(x, y));
    return n;
}

bool isRed(QColor c) {
    return c.red() > 200 && c.green() < 80 && c.blue() < 80;
}
bool isDarkBlue(QColor c) {
    return c.blue() > 130 && c.red() < 60 && c.green() < 60;
}

// Every character of the text has a real glyph in the font the windows use (with Qt's
// fallbacks): glyph 0 is the empty box a missing character shows as.
QString missingGlyphs(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    while (layout.createLine().isValid()) {
    }
    layout.endLayout();
    int missing = 0;
    for (const QGlyphRun& run : layout.glyphRuns())
        for (quint32 glyph : run.glyphIndexes())
            missing += glyph == 0;
    return missing ? text : QString();
}

bool writeStore(const QString& exe, const QStringList& keywords) {
    QFile file(QFileInfo(exe).absolutePath() + QStringLiteral("/KeyList.dat"));
    return file.open(QIODevice::WriteOnly) &&
           file.write(ListFile::ListBytes(PlainKeywordList(QtText::fromQ(keywords)))) > 0;
}

// The screen below is 1024 by 768, all of it free for windows. A frame whose size is odd
// cannot sit exactly at the centre.
void expectCentred(const QRect& frame) {
    EXPECT_NEAR(frame.x() + frame.width() / 2.0, 512, 2) << frame.x() << "," << frame.y();
    EXPECT_NEAR(frame.y() + frame.height() / 2.0, 384, 2) << frame.x() << "," << frame.y();
}

bool shoot(const XvfbServer& server, QImage& image, const QString& path) {
    if (!server.screenshot(path.toStdString()))
        return false;
    return image.load(path);
}

class Desktop : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        exe = env.copyExecutable();
        ASSERT_FALSE(exe.isEmpty());
        windows = X11WindowSystem::open(QByteArray::fromStdString(server.display()));
        ASSERT_TRUE(windows);
    }

    void startProgram() {
        ASSERT_TRUE(program.start(
            {exe.toStdString()},
            {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + server.display(), "ASAN_OPTIONS=detect_leaks=0"},
            -1, (env.work() + QStringLiteral("/program.log")).toStdString()));
        ASSERT_TRUE(waitUntil([&] { return findWindow(*windows, kMainCaption) != 0; }))
            << "the main window did not appear";
    }

    // Moves the pointer to a point of the screen and clicks there, as a person would.
    void clickAt(QPoint p) {
        ChildProcess click;
        ASSERT_TRUE(click.start(
            {"xdotool", "mousemove", std::to_string(p.x()), std::to_string(p.y()), "click", "1"},
            {"DISPLAY=" + server.display()}, -1, "/dev/null"));
        ASSERT_TRUE(click.waitFor(10000));
    }

    // Keys as typed on the keyboard, to the window that has the focus.
    void xdotool(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {"xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        ChildProcess tool;
        ASSERT_TRUE(tool.start(argv, {"DISPLAY=" + server.display()}, -1, "/dev/null"));
        ASSERT_TRUE(tool.waitFor(10000));
    }

    // Waits until the main window is on screen and painted; returns where it is.
    Placement waitPainted(WindowHandle main) {
        Placement place;
        EXPECT_TRUE(waitUntil([&] {
            QImage shot;
            place = placementOf(server.display(), main);
            return shoot(server, shot, env.work() + QStringLiteral("/shot.png")) &&
                   pixelsLike(shot, place.client.adjusted(0, 400, 0, 0), isRed) > 50;
        })) << "the main window was not painted";
        return place;
    }

    TestEnv env;
    XvfbServer server{true, 1024, 768};
    QString exe;
    std::unique_ptr<X11WindowSystem> windows;
    ChildProcess program;
};

TEST_F(Desktop, MainWindowAndAboutBoxShowTheirChineseTexts) {
    ASSERT_TRUE(writeStore(exe, {QStringLiteral("色情"), QStringLiteral("赌博"),
                                 QStringLiteral("casino"), QStringLiteral(" 带空格 ")}));
    // The interface font carries every character the two windows show.
    const QStringList texts = {
        kMainCaption,
        QStringLiteral("关键字(区分大小写)："),
        QStringLiteral("添加关键字"),
        QStringLiteral("修改关键字"),
        QStringLiteral("导入列表导出列表清除选定项清除列表"),
        QStringLiteral("密码设置隐藏关于开机自动运行"),
        QStringLiteral(
            "说明：当软件窗口标题包含关键字列表中的任意一条关键字时，窗口就会立即被关闭！"),
        frmAbout::description(),
        QStringLiteral("版本：1.00"),
        QStringLiteral("确定"),
        QStringLiteral("你确定要退出吗？询问是否"),
        QStringLiteral("色情赌博带空格")};
    for (const QString& text : texts) {
        EXPECT_EQ(missingGlyphs(text, AppLook::font()), QString());
        EXPECT_EQ(missingGlyphs(text, AppLook::font(14.25)), QString());
    }

    startProgram();
    const WindowHandle main = findWindow(*windows, kMainCaption);
    Placement mainPlace = placementOf(server.display(), main);
    EXPECT_EQ(mainPlace.client.size(), QSize(453, 454));

    // Painted once the red notice is on screen.
    const QString shotPath = artifactsDir() + QStringLiteral("/desktop-main.png");
    QImage shot;
    ASSERT_TRUE(waitUntil([&] {
        mainPlace = placementOf(server.display(), main);
        return shoot(server, shot, shotPath) &&
               pixelsLike(shot, mainPlace.client.adjusted(0, 400, 0, 0), isRed) > 50;
    })) << "the main window was not painted";
    // Centred on the screen with its frame.
    expectCentred(mainPlace.frame);
    ASSERT_TRUE(
        shot.copy(mainPlace.frame).save(artifactsDir() + QStringLiteral("/screenshot-main.png")));

    // "关于" is at 5265, 5280 twips: 351, 352 pixels, 82 by 28.
    clickAt(mainPlace.client.topLeft() + QPoint(351 + 41, 352 + 14));
    WindowHandle about = 0;
    ASSERT_TRUE(waitUntil([&] { return (about = findWindow(*windows, QStringLiteral("关于"))); }))
        << "the About box did not appear";
    Placement aboutPlace;
    ASSERT_TRUE(waitUntil([&] {
        aboutPlace = placementOf(server.display(), about);
        return shoot(server, shot, shotPath) &&
               pixelsLike(shot, aboutPlace.client.adjusted(60, 0, 0, -200), isDarkBlue) > 20;
    })) << "the About box was not painted";
    EXPECT_EQ(aboutPlace.client.size(), QSize(478, 261));
    expectCentred(aboutPlace.frame);
    ASSERT_TRUE(
        shot.copy(aboutPlace.frame).save(artifactsDir() + QStringLiteral("/screenshot-about.png")));
    ASSERT_TRUE(shot.save(artifactsDir() + QStringLiteral("/screenshot-desktop.png")));

    // A second click on "关于" brings the same box back; its "确定" closes it.
    clickAt(mainPlace.client.topLeft() + QPoint(351 + 41, 352 + 14));
    int boxes = 0;
    windows->EnumWindows([&](WindowHandle w) {
        boxes += windows->IsWindowVisible(w) && windows->GetWindowText(w) == u"关于";
        return true;
    });
    EXPECT_EQ(boxes, 1);
    aboutPlace = placementOf(server.display(), about);
    clickAt(aboutPlace.client.topLeft() + QPoint(344 + 50, 216 + 11));
    EXPECT_TRUE(waitUntil([&] { return findWindow(*windows, QStringLiteral("关于")) == 0; }));
    EXPECT_TRUE(program.running());
}

TEST_F(Desktop, HiddenWindowKeepsClosingMatchingWindows) {
    ASSERT_TRUE(writeStore(exe, {QStringLiteral("forbidden")}));
    startProgram();
    const WindowHandle main = findWindow(*windows, kMainCaption);
    Placement place = placementOf(server.display(), main);
    // "隐藏" at 5265, 4680 twips: 351, 312 pixels, 82 by 28.
    ASSERT_TRUE(waitUntil([&] {
        QImage shot;
        place = placementOf(server.display(), main);
        return shoot(server, shot, env.work() + QStringLiteral("/shot.png")) &&
               pixelsLike(shot, place.client.adjusted(0, 400, 0, 0), isRed) > 50;
    }));
    clickAt(place.client.topLeft() + QPoint(351 + 41, 312 + 14));
    ASSERT_TRUE(waitUntil([&] { return findWindow(*windows, kMainCaption) == 0; }))
        << "the main window did not hide";
    EXPECT_TRUE(program.running());

    ChildProcess target;
    QElapsedTimer shown;
    ASSERT_TRUE(target.start({"xmessage", "-title", "a forbidden page", "closing"},
                             {"DISPLAY=" + server.display()}, -1, "/dev/null"));
    ASSERT_TRUE(waitUntil([&] {
        return findWindow(*windows, QStringLiteral("a forbidden page")) != 0 || !target.running();
    }));
    shown.start();
    EXPECT_TRUE(target.waitFor(10000));
    // A pass runs every half second; allow for a loaded machine.
    EXPECT_LT(shown.elapsed(), 3000);
    std::printf("matching window closed %lld ms after it appeared\n",
                static_cast<long long>(shown.elapsed()));
    EXPECT_TRUE(program.running());
}

TEST_F(Desktop, ExportAndCloseGoThroughTheRealDialogs) {
    ASSERT_TRUE(writeStore(exe, {QStringLiteral("abc"), QStringLiteral("色情")}));
    startProgram();
    const WindowHandle main = findWindow(*windows, kMainCaption);
    const Placement place = waitPainted(main);
    const QString store = QFileInfo(exe).absolutePath() + QStringLiteral("/KeyList.dat");
    QFile::remove(store);

    // "导出列表" at 5265, 2295 twips: 351, 153 pixels, 82 by 28. A name typed without
    // extension gets ".lst" from the selected list filter.
    clickAt(place.client.topLeft() + QPoint(351 + 41, 153 + 14));
    ASSERT_TRUE(waitUntil([&] { return findWindow(*windows, QStringLiteral("保存")) != 0; }))
        << "the save dialog did not appear";
    const QString exported = env.work() + QStringLiteral("/exported");
    xdotool({"type", "--delay", "10", exported.toStdString()});
    xdotool({"key", "Return"});
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(exported + QStringLiteral(".lst")); }))
        << "nothing was exported";
    QFile file(exported + QStringLiteral(".lst"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), ListFile::ListBytes(PlainKeywordList({u"abc", u"色情"})));
    EXPECT_FALSE(QFile::exists(store)); // an export is not the store

    // Alt+F4 is a close request: the list is saved, and No keeps the window.
    ASSERT_TRUE(waitUntil([&] { return findWindow(*windows, QStringLiteral("保存")) == 0; }));
    xdotool({"key", "alt+F4"});
    WindowHandle question = 0;
    ASSERT_TRUE(waitUntil([&] {
        return (question = findWindow(*windows, QStringLiteral("询问")));
    })) << "no exit question";
    EXPECT_TRUE(QFile::exists(store));
    QImage shot;
    ASSERT_TRUE(waitUntil([&] {
        return shoot(server, shot, env.work() + QStringLiteral("/q.png")) &&
               !shot.copy(placementOf(server.display(), question).client).isNull();
    }));
    shot.copy(placementOf(server.display(), question).frame)
        .save(artifactsDir() + QStringLiteral("/screenshot-question.png"));
    xdotool({"key", "Escape"});
    ASSERT_TRUE(waitUntil([&] { return findWindow(*windows, QStringLiteral("询问")) == 0; }));
    EXPECT_TRUE(program.running());
    EXPECT_NE(findWindow(*windows, kMainCaption), 0u);

    // The close button of the frame, answered Yes (the default): the program ends.
    QFile::remove(store);
    const Placement framed = placementOf(server.display(), main);
    clickAt(QPoint(framed.frame.right() - 12,
                   framed.frame.top() + (framed.client.top() - framed.frame.top()) / 2));
    ASSERT_TRUE(waitUntil([&] { return findWindow(*windows, QStringLiteral("询问")) != 0; }))
        << "the close button asked nothing";
    EXPECT_TRUE(QFile::exists(store));
    xdotool({"key", "Return"});
    ASSERT_TRUE(program.waitFor(10000));
    EXPECT_EQ(program.exitCode(), 0);
}

} // namespace
