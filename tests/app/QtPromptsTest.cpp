#include "platform/qt/QtPrompts.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include "PrintQt.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// Acts as the user on the real modal dialogs: each step waits for a new modal window and
// then works on it. A step that finds no window in time fails the test and closes every
// modal window, so that no test blocks on a dialog.
class User : public QObject {
public:
    using Step = std::function<void(QWidget*)>;

    explicit User(QList<Step> steps) : m_steps(std::move(steps)) {
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, &User::poll);
        m_timer.start();
        m_deadline.start();
    }
    ~User() override { EXPECT_TRUE(m_steps.isEmpty()) << m_steps.size() << " steps not taken"; }

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (m_steps.isEmpty()) {
            m_timer.stop();
            return;
        }
        if (m_deadline.elapsed() > 15000) {
            ADD_FAILURE() << "no dialog appeared";
            m_steps.clear();
            while (QWidget* w = QApplication::activeModalWidget())
                w->close();
            return;
        }
        if (!modal || modal == m_last.data() || !modal->isVisible())
            return;
        m_last = modal;
        const Step step = m_steps.takeFirst();
        m_deadline.restart();
        // The step runs from a timer of its own: a step that opens a further dialog waits
        // in that dialog's loop, where this timer must go on polling for the next step.
        QPointer<QWidget> target = modal;
        QTimer::singleShot(0, this, [step, target] {
            if (target)
                step(target);
        });
    }

    QList<Step> m_steps;
    QTimer m_timer;
    QElapsedTimer m_deadline;
    QPointer<QWidget> m_last; // null again once that dialog is gone
};

QPushButton* buttonOf(QWidget* box, QMessageBox::StandardButton which) {
    auto* message = qobject_cast<QMessageBox*>(box);
    return message ? qobject_cast<QPushButton*>(message->button(which)) : nullptr;
}

class QtPromptsTest : public ::testing::Test {
protected:
    QtPromptsTest() {
        // The program's Chinese buttons, as main() installs them.
        if (m_qtTexts.load(QStringLiteral("qtbase_zh_CN"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QApplication::installTranslator(&m_qtTexts);
        m_savedDir = QDir::currentPath();
        QDir::setCurrent(env.work());
    }
    ~QtPromptsTest() override {
        QApplication::removeTranslator(&m_qtTexts);
        QDir::setCurrent(m_savedDir);
    }

    static FileDialogOptions listOptions(bool save) {
        FileDialogOptions o;
        o.save = save;
        o.title = save ? QStringLiteral("保存") : QStringLiteral("打开");
        o.filters = {{QStringLiteral("列表文件(*.lst)"), QStringLiteral("*.lst")},
                     {QStringLiteral("所有文件"), QStringLiteral("*.*")}};
        o.maxFile = 255;
        o.flags = save ? 0x80100E : 0x80100C;
        o.defaultExt = QStringLiteral("*");
        return o;
    }

    static void typeName(QWidget* dialog, const QString& name) {
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setText(name);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    static QStringList typeEntries(QWidget* dialog) {
        QStringList entries;
        if (auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
            for (int i = 0; i < combo->count(); ++i)
                entries << combo->itemText(i);
        return entries;
    }

    // The names the dialog's file list shows, once it shows the expected ones or has had
    // ample time to read the folder.
    static QStringList listedNames(QWidget* dialog, const QStringList& expected) {
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        QStringList names;
        if (!view)
            return names;
        [[maybe_unused]] const bool shown = QTest::qWaitFor([&] {
            names.clear();
            const QModelIndex root = view->rootIndex();
            for (int row = 0; row < view->model()->rowCount(root); ++row)
                names << view->model()->index(row, 0, root).data().toString();
            names.sort();
            return names == expected;
        });
        return names;
    }

    void makeFiles(const QStringList& names) const {
        for (const QString& name : names) {
            QFile file(env.work() + QLatin1Char('/') + name);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }

    // Every file below the private configuration folder.
    QStringList configFiles() const {
        QStringList files;
        QDirIterator it(env.configHome(), QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        return files;
    }

    TestEnv env;
    QtPrompts prompts;

private:
    QTranslator m_qtTexts;
    QString m_savedDir;
};

TEST_F(QtPromptsTest, QuestionShowsYesAndNoWithYesTheDefault) {
    QString title;
    QString yesText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    User user({[&](QWidget* box) {
        title = box->windowTitle();
        icon = qobject_cast<QMessageBox*>(box)->icon();
        QPushButton* yes = buttonOf(box, QMessageBox::Yes);
        ASSERT_NE(yes, nullptr);
        ASSERT_NE(buttonOf(box, QMessageBox::No), nullptr);
        EXPECT_TRUE(yes->isDefault());
        yesText = yes->text();
        QTest::keyClick(box, Qt::Key_Return);
    }});
    EXPECT_EQ(prompts.MsgBox(QStringLiteral("你确定要退出吗？"), 0x24, QStringLiteral("询问")), 6);
    EXPECT_EQ(title, QStringLiteral("询问"));
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_TRUE(yesText.startsWith(QStringLiteral("是"))) << yesText.toStdString();
}

TEST_F(QtPromptsTest, EscapeAnswersNoAndAMessageWithoutCaptionShowsTheTitle) {
    User user({[](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); },
               [](QWidget* box) {
                   EXPECT_EQ(box->windowTitle(), QStringLiteral("墨枫哨兵"));
                   EXPECT_EQ(qobject_cast<QMessageBox*>(box)->icon(), QMessageBox::Critical);
                   QTest::keyClick(box, Qt::Key_Return);
               }});
    EXPECT_EQ(prompts.MsgBox(QStringLiteral("?"), 0x24, QStringLiteral("询问")), 7);
    EXPECT_EQ(prompts.MsgBox(QStringLiteral("导出列表失败！无法创建文件。"), 0x10, QString()), 1);
}

TEST_F(QtPromptsTest, InputPromptIsFilledAndCancelGivesEmptyText) {
    User user({[](QWidget* dialog) {
                   auto* input = qobject_cast<QInputDialog*>(dialog);
                   ASSERT_NE(input, nullptr);
                   EXPECT_EQ(input->windowTitle(), QStringLiteral("墨枫哨兵"));
                   EXPECT_EQ(input->labelText(), QStringLiteral("请输入关键字"));
                   EXPECT_EQ(input->textValue(), QStringLiteral("旧的"));
                   input->setTextValue(QStringLiteral(" 新的 "));
                   QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
               },
               [](QWidget* dialog) { QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape); }});
    EXPECT_EQ(prompts.InputBox(QStringLiteral("请输入关键字"), QStringLiteral("墨枫哨兵"),
                               QStringLiteral("旧的")),
              QStringLiteral(" 新的 "));
    EXPECT_EQ(prompts.InputBox(QStringLiteral("请输入关键字"), QStringLiteral("墨枫哨兵"),
                               QStringLiteral("旧的")),
              QString());
}

TEST_F(QtPromptsTest, SaveDialogCompletesTheExtensionFromTheSelectedFilter) {
    QString selected;
    QString title;
    User user({[&](QWidget* dialog) {
                   title = dialog->windowTitle();
                   selected = qobject_cast<QFileDialog*>(dialog)->selectedNameFilter();
                   typeName(dialog, QStringLiteral("我的列表"));
               },
               [&](QWidget* dialog) {
                   // The user picks "所有文件": a name without extension stays so.
                   auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                   ASSERT_NE(combo, nullptr);
                   combo->setFocus();
                   QTest::keyClick(combo, Qt::Key_Down);
                   typeName(dialog, QStringLiteral("plain"));
               }});
    const QString cwd = QDir::currentPath();
    EXPECT_EQ(prompts.FileDialog(listOptions(true)), env.work() + QStringLiteral("/我的列表.lst"));
    EXPECT_EQ(title, QStringLiteral("保存"));
    EXPECT_TRUE(selected.startsWith(QStringLiteral("列表文件"))) << selected.toStdString();
    EXPECT_EQ(prompts.FileDialog(listOptions(true)), env.work() + QStringLiteral("/plain"));
    EXPECT_EQ(QDir::currentPath(), cwd);
}

TEST_F(QtPromptsTest, SaveDialogAsksBeforeReplacingAFile) {
    const QString existing = env.work() + QStringLiteral("/old.lst");
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    bool asked = false;
    User user({[](QWidget* dialog) { typeName(dialog, QStringLiteral("old")); },
               [&](QWidget* question) {
                   asked = qobject_cast<QMessageBox*>(question) != nullptr;
                   QPushButton* yes = buttonOf(question, QMessageBox::Yes);
                   ASSERT_NE(yes, nullptr);
                   yes->click();
               }});
    EXPECT_EQ(prompts.FileDialog(listOptions(true)), existing);
    EXPECT_TRUE(asked);
}

TEST_F(QtPromptsTest, OpenDialogTakesExistingFilesOnlyAndCancelGivesNothing) {
    const QString existing = env.work() + QStringLiteral("/a.lst");
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    User user({[](QWidget* dialog) {
                   EXPECT_EQ(dialog->windowTitle(), QStringLiteral("打开"));
                   typeName(dialog, QStringLiteral("a.lst"));
               },
               [](QWidget* dialog) {
                   // A name that does not exist is not taken; the dialog says so and
                   // stays open.
                   typeName(dialog, QStringLiteral("missing.lst"));
                   EXPECT_TRUE(dialog->isVisible());
                   qobject_cast<QDialog*>(dialog)->reject();
               },
               [](QWidget* warning) {
                   EXPECT_NE(qobject_cast<QMessageBox*>(warning), nullptr);
                   QTest::keyClick(warning, Qt::Key_Return);
               }});
    EXPECT_EQ(prompts.FileDialog(listOptions(false)), existing);
    EXPECT_EQ(prompts.FileDialog(listOptions(false)), QString());
}

TEST_F(QtPromptsTest, PathBeyondTheBufferIsRefusedWithAMessage) {
    // Short names in deep folders: the path, not a name, is too long.
    QString deep = env.work();
    for (int i = 0; i < 3; ++i)
        deep += QLatin1Char('/') + QString(90, QChar(u'a' + i));
    ASSERT_TRUE(QDir().mkpath(deep));
    bool warned = false;
    User user({[&](QWidget* dialog) { typeName(dialog, deep + QStringLiteral("/x")); },
               [&](QWidget* warning) {
                   warned = qobject_cast<QMessageBox*>(warning) != nullptr;
                   QTest::keyClick(warning, Qt::Key_Return);
               },
               [&](QWidget* dialog) { typeName(dialog, QStringLiteral("short")); }});
    FileDialogOptions options = listOptions(true);
    EXPECT_EQ(prompts.FileDialog(options), env.work() + QStringLiteral("/short.lst"));
    EXPECT_TRUE(warned);
}

TEST_F(QtPromptsTest, FileTypesShowTheDescriptionsAsGivenAndFilterByTheirPatterns) {
    makeFiles({QStringLiteral("a.lst"), QStringLiteral("b.txt"), QStringLiteral("noext")});
    const QStringList all = {QStringLiteral("a.lst"), QStringLiteral("b.txt"),
                             QStringLiteral("noext")};
    struct Case {
        QList<QPair<QString, QString>> filters;
        QStringList entries;
        QList<QStringList> listed; // for each entry, chosen in turn
    };
    const QList<Case> cases = {
        {{{QStringLiteral("列表文件(*.lst)"), QStringLiteral("*.lst")},
          {QStringLiteral("所有文件"), QStringLiteral("*.*")}},
         {QStringLiteral("列表文件(*.lst)"), QStringLiteral("所有文件")},
         {{QStringLiteral("a.lst")}, all}},
        // The chooser's own default, and a filter of two patterns.
        {{{QStringLiteral("所有文件 (*.*)"), QStringLiteral("*.*")}},
         {QStringLiteral("所有文件 (*.*)")},
         {all}},
        {{{QStringLiteral("文本"), QStringLiteral("*.txt;*.lst")}},
         {QStringLiteral("文本")},
         {{QStringLiteral("a.lst"), QStringLiteral("b.txt")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries.join(QLatin1Char('|')).toStdString());
        QStringList entries;
        QList<QStringList> listed;
        User user({[&](QWidget* dialog) {
            qobject_cast<QFileDialog*>(dialog)->setDirectory(env.work());
            entries = typeEntries(dialog);
            auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            ASSERT_NE(combo, nullptr);
            combo->setFocus();
            for (int i = 0; i < c.listed.size(); ++i) {
                if (i > 0)
                    QTest::keyClick(combo, Qt::Key_Down);
                listed << listedNames(dialog, c.listed[i]);
            }
            qobject_cast<QDialog*>(dialog)->reject();
        }});
        FileDialogOptions options = listOptions(false);
        options.filters = c.filters;
        EXPECT_EQ(prompts.FileDialog(options), QString());
        EXPECT_EQ(entries, c.entries);
        EXPECT_EQ(listed, c.listed);
    }
}

TEST_F(QtPromptsTest, FileDialogsWriteNothingUnderTheConfigFolder) {
    makeFiles({QStringLiteral("a.lst")});
    const auto cancel = [](QWidget* dialog) { qobject_cast<QDialog*>(dialog)->reject(); };
    struct Case {
        const char* what;
        bool save;
        User::Step step;
        QString result;
    };
    const QList<Case> cases = {
        {"open, chosen", false, [](QWidget* d) { typeName(d, QStringLiteral("a.lst")); },
         env.work() + "/a.lst"},
        {"open, cancelled", false, cancel, QString()},
        {"save, chosen", true, [](QWidget* d) { typeName(d, QStringLiteral("new")); },
         env.work() + "/new.lst"},
        {"save, cancelled", true, cancel, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        User user({[&](QWidget* dialog) {
            qobject_cast<QFileDialog*>(dialog)->setDirectory(env.work());
            c.step(dialog);
        }});
        EXPECT_EQ(prompts.FileDialog(listOptions(c.save)), c.result);
        EXPECT_EQ(configFiles(), QStringList());
    }
}

} // namespace
