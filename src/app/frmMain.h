#pragma once

#include "app/KeyListAdapter.h"
#include "app/MainWindowServices.h"
#include "keywords/ListFile.h"
#include "patrol/PatrolPass.h"
#include "patrol/PatrolScheduler.h"
#include "patrol/WindowChecks.h"
#include "patrol/WindowSearch.h"
#include "platform/qt/QtEventLoop.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class frmAbout;

// The main window: the keyword list and the buttons that edit, import and export it, the
// patrol timer, and the saving of the list when the window is hidden or asked to close.
// Constructing it loads it (the list from KeyList.dat, the run-at-logon box, the timer)
// without showing it; from then on it lives until the process ends.
class frmMain : public QWidget, private PatrolHost {
    Q_OBJECT
public:
    explicit frmMain(MainWindowServices services, QWidget* parent = nullptr);
    ~frmMain() override;

    // Writes the keyword list to the list file at path, replacing it.
    void OutputList(const QString& path);
    // Writes the list to KeyList.dat without any message, for an end that nobody may be
    // there to answer (a signal, the loss of the display, the end of the session).
    void SaveQuietly();
    // True when run at logon is registered for this executable.
    bool isAuto();

    // The keyword list held by Key_List.
    KeyListAdapter& keyList() { return *m_keyList; }
    const KeyListAdapter& keyList() const { return *m_keyList; }
    // The About box now open, or null.
    frmAbout* aboutBox() const;

    // Handlers, public so that the start-up code and tests can run them as a click does.
    void Command1_Click();
    void Command2_Click();
    void cmdHide_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::u16string mainCaption() const override;
    std::uint32_t ownProcessId() const override;

    void buildControls();
    void Form_Load();
    // Returns true when the window may close (never: Yes ends the process).
    bool Form_Unload();
    void KillWindows_Timer();

    void AddKey_Cmd_Click();
    void Update_cmd_Click();
    void cmdDelOne_Click();
    void cmdDelList_Click();
    void cmdInputList_Click();
    void cmdOutList_Click();
    void cmdAbout_Click();
    void SetMima_cmd_Click();
    void cekAutoRun_Click();
    void Key_Text_GotFocus();
    void Key_List_Click();

    // False, after saying which characters, when the list file cannot hold the keyword.
    bool isStorable(const QString& keyword);
    // False, after saying so, when the list holds as many keywords as it can address.
    bool hasRoom();
    // The program's own store, which is never written through a link.
    bool isStorePath(const QString& path) const;
    void setDefaultButton(QPushButton* button);
    // Writes the list through listFile, whose prompts tell of a failure, first keeping aside
    // a store that could not be read at load.
    void writeList(const QString& path, ListFile& listFile, Prompts& prompts);

    MainWindowServices m_services;
    ListFile m_listFile;
    WindowSearch m_search;

    QListWidget* Key_List = nullptr;
    QPushButton* AddKey_Cmd = nullptr;
    QLineEdit* Key_Text = nullptr;
    QLabel* lblKeyword = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Update_cmd = nullptr;
    QPushButton* SetMima_cmd = nullptr;
    QPushButton* cmdOutList = nullptr;
    QPushButton* cmdInputList = nullptr;
    QPushButton* cmdHide = nullptr;
    QPushButton* cmdAbout = nullptr;
    QPushButton* cmdDelList = nullptr;
    QPushButton* cmdDelOne = nullptr;
    QCheckBox* cekAutoRun = nullptr;
    QPushButton* Command2 = nullptr;
    QLabel* lblNotice = nullptr;
    QTimer* KillWindows = nullptr;

    std::unique_ptr<KeyListAdapter> m_keyList;
    QtEventLoop m_loop;
    std::unique_ptr<PatrolPass> m_pass;
    // The same pass, run soon when the platform reports a change it cannot pin to a window.
    std::unique_ptr<PatrolScheduler> m_extraPasses;
    // The windows the platform reports as new or retitled, checked at once.
    std::unique_ptr<WindowChecks> m_checks;
    QPushButton* m_defaultButton = nullptr;
    QPointer<frmAbout> m_about;
    bool m_keepStoreAside = false; // KeyList.dat could not be read at load
    bool m_unloading = false;
};
