// The windows' look on a private desktop (Xvfb with openbox), each window shown by a small
// program of its own: message boxes wide enough for their caption, windows centred with
// their frame, and every control inside its window at the usual scale factors.
#include "support/ChildProcess.h"
#include "support/TestEnv.h"
#include "support/Wait.h"
#include "support/X11Frame.h"
#include "support/XvfbServer.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QMap>
#include <QStringList>

#include "PrintQt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

const QString kTitle = QStringLiteral("墨枫哨兵");
constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;

QString artifactsDir() {
    const QString dir = QStringLiteral(SENTINEL_ARTIFACTS_DIR);
    QDir().mkpath(dir);
    return dir;
}

// What the shown program reported of its window.
struct Shown {
    quint32 window = 0;
    double ratio = 0;
    QSize client;
    QMap<QString, QRect> controls;
};

bool parse(const QString& text, Shown& shown) {
    if (!text.contains(QStringLiteral("\ndone")))
        return false;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList w = line.split(QLatin1Char(' '));
        if (w[0] == QStringLiteral("window") && w.size() == 2)
            shown.window = w[1].toUInt(nullptr, 16);
        else if (w[0] == QStringLiteral("ratio") && w.size() == 2)
            shown.ratio = w[1].toDouble();
        else if (w[0] == QStringLiteral("client") && w.size() == 3)
            shown.client = QSize(w[1].toInt(), w[2].toInt());
        else if (w[0] == QStringLiteral("control") && w.size() == 6)
            shown.controls[w[1]] = QRect(w[2].toInt(), w[3].toInt(), w[4].toInt(), w[5].toInt());
    }
    return shown.window != 0;
}

class LookOnX11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        QDir().mkpath(env.work());
    }

    // Starts the look program with the arguments at the scale factor, and waits until it
    // has reported its framed window.
    Shown show(const std::vector<std::string>& args, const std::string& scale = "1") {
        Shown shown;
        const QString out = env.work() + QStringLiteral("/out-%1.txt").arg(++m_runs);
        std::vector<std::string> argv = {LOOK_SHOT};
        argv.insert(argv.end(), args.begin(), args.end());
        m_program = std::make_unique<ChildProcess>();
        EXPECT_TRUE(m_program->start(argv,
                                     {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + server.display(),
                                      "QT_SCALE_FACTOR=" + scale, "ASAN_OPTIONS=detect_leaks=0"},
                                     -1, out.toStdString()));
        EXPECT_TRUE(Wait::until([&] {
            QFile f(out);
            return f.open(QIODevice::ReadOnly) && parse(QString::fromUtf8(f.readAll()), shown);
        })) << "the window was never shown and framed";
        return shown;
    }

    QImage screenshot(const QString& name) {
        const QString png = artifactsDir() + QLatin1Char('/') + name;
        QImage image;
        EXPECT_TRUE(server.screenshot(png.toStdString()) && image.load(png)) << name.toStdString();
        return image;
    }

    TestEnv env;
    XvfbServer server{true, kScreenWidth, kScreenHeight};

private:
    std::unique_ptr<ChildProcess> m_program;
    int m_runs = 0;
};

// The caption in openbox's default title font (bold sans, 8 points) and, beside it, the
// four other parts of its default title bar (icon, iconify, maximise, close): squares about
// as tall as the title bar, which is the frame's top edge. Four pixels of padding each side.
int captionNeeds(const QString& caption, const X11Frame& placed) {
    QFont font(QStringLiteral("Sans"));
    font.setPointSizeF(8);
    font.setBold(true);
    const int titleBar = placed.client.top() - placed.frame.top();
    return QFontMetrics(font).horizontalAdvance(caption) + 4 * titleBar + 8;
}

TEST_F(LookOnX11, ShortMessagesLeaveRoomForTheWholeCaption) {
    const std::vector<std::vector<std::string>> cases = {{"msgbox", "密码错误"},
                                                         {"msgbox", "原密码错误"},
                                                         {"msgbox", "提示：ab"},
                                                         {"input", "提示"}};
    int n = 0;
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        const Shown shown = show(args);
        const X11Frame placed = X11Frame::of(server.display(), shown.window);
        ASSERT_FALSE(placed.frame.isNull());
        EXPECT_GE(placed.frame.width(), captionNeeds(kTitle, placed));
        const QImage shot = screenshot(QStringLiteral("look-caption-%1.png").arg(++n));
        shot.copy(placed.frame)
            .save(artifactsDir() + QStringLiteral("/look-caption-box-%1.png").arg(n));
    }
}

TEST_F(LookOnX11, WindowsOpenCentredWithTheirFrame) {
    for (const char* mode : {"main", "about", "login", "setpass"}) {
        SCOPED_TRACE(mode);
        const Shown shown = show({mode});
        X11Frame placed;
        // The window may still be moving to its place when it first reports.
        const auto centred = [&] {
            placed = X11Frame::of(server.display(), shown.window);
            return placed.frame != placed.client &&
                   std::abs(placed.frame.x() + placed.frame.width() / 2.0 - kScreenWidth / 2.0) <=
                       2 &&
                   std::abs(placed.frame.y() + placed.frame.height() / 2.0 - kScreenHeight / 2.0) <=
                       2;
        };
        EXPECT_TRUE(Wait::until(centred, 5000))
            << "frame at " << placed.frame.x() << "," << placed.frame.y() << " size "
            << placed.frame.width() << "x" << placed.frame.height();
    }
}

// A row of the screenshot along a rectangle's bottom edge, in the display's pixels: the
// share of its pixels darker than the list's white and the window's light grey ground.
double darkShare(const QImage& image, int y, int left, int right) {
    int dark = 0;
    for (int x = left; x <= right; ++x)
        dark += qGray(image.pixel(x, y)) < 200;
    return double(dark) / (right - left + 1);
}

TEST_F(LookOnX11, ControlsLieInsideTheirWindowAtEachScale) {
    for (const char* scale : {"1", "1.25", "1.5", "2"}) {
        for (const char* mode : {"main", "about", "login", "setpass"}) {
            SCOPED_TRACE(std::string(mode) + " at " + scale);
            const Shown shown = show({mode}, scale);
            ASSERT_FALSE(shown.controls.isEmpty());
            const QRect client(QPoint(0, 0), shown.client);
            for (auto it = shown.controls.cbegin(); it != shown.controls.cend(); ++it)
                EXPECT_TRUE(client.contains(it.value())) << it.key().toStdString();
            if (std::string(mode) != "main")
                continue;
            // The list box's frame shows along its bottom edge: one of the device rows of
            // its last two pixels is the frame's grey nearly all along.
            const X11Frame placed = X11Frame::of(server.display(), shown.window);
            const QImage shot = screenshot(QStringLiteral("look-main-%1.png").arg(scale));
            const QRect list = shown.controls.value(QStringLiteral("Key_List"));
            ASSERT_FALSE(list.isNull());
            const double r = shown.ratio;
            const int left = placed.client.x() + int(std::ceil(list.left() * r)) + 3;
            const int right = placed.client.x() + int(std::floor((list.right() + 1) * r)) - 4;
            const int first = placed.client.y() + int(std::floor((list.bottom() - 1) * r));
            const int last = placed.client.y() + int(std::ceil((list.bottom() + 1) * r)) - 1;
            ASSERT_LE(last, placed.client.bottom());
            double best = 0;
            for (int y = first; y <= last; ++y)
                best = std::max(best, darkShare(shot, y, left, right));
            EXPECT_GT(best, 0.9) << "rows " << first << " to " << last;
        }
    }
}

} // namespace
