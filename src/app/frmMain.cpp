#include "app/frmMain.h"
#include "platform/qt/QtText.h"

#include "about/frmAbout.h"
#include "app/AppLook.h"
#include "app/SilentPrompts.h"
#include "app/Twips.h"
#include "keywords/FileDialogs.h"
#include "platform/qt/QtCodec936.h"
#include "registry/AutoRun.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <limits>

namespace {

constexpr int kPatrolIntervalMs = 500;

// Blanks at both ends, and only blanks: a tab or another space character stays.
QString trimBlanks(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == QLatin1Char(' '))
        ++start;
    while (end > start && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(start, end - start);
}

// Short enough to ask about: at most 4 bytes in UTF-8, so one character or up to four Latin
// letters. Most Chinese keywords are two characters; asking about each of them would teach
// the user to answer Yes without reading.
bool isShortKeyword(const QString& trimmed) {
    return trimmed.toUtf8().size() <= 4;
}

// The message that names the characters of a keyword that the list file cannot keep, each
// with its code, since some of them (a no-break space) cannot be told apart by eye.
QString unstorableMessage(const QStringList& characters) {
    QStringList named;
    for (const QString& c : characters) {
        const QString code =
            QString::number(c.toUcs4().value(0), 16).toUpper().rightJustified(4, QLatin1Char('0'));
        named.append(QStringLiteral("“%1”(U+%2)").arg(c, code));
    }
    return QStringLiteral("关键字中有无法保存的字符：") + named.join(QStringLiteral("、")) +
           QStringLiteral("\n请删除这些字符后再试。");
}

QString listFilter() {
    return FileDialogs::MakeFilter({{QStringLiteral("列表文件(*.lst)"), QStringLiteral("*.lst")},
                                    {QStringLiteral("所有文件"), QStringLiteral("*.*")}});
}

bool sameFile(const QString& a, const QString& b) {
    const QFileInfo fa(a);
    const QFileInfo fb(b);
    if (fa.absoluteFilePath() == fb.absoluteFilePath())
        return true;
    const QString ca = fa.canonicalFilePath();
    return !ca.isEmpty() && ca == fb.canonicalFilePath();
}

} // namespace

frmMain::frmMain(MainWindowServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_services(std::move(services)), m_listFile(m_services.prompts),
      m_search(m_services.windows, m_services.codec) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QtText::toQ(AppInfo::mainCaption()));
    setWindowIcon(AppLook::icon());
    setFont(AppLook::font());
    setFixedSize(Twips::size(6795, 6810));
    buildControls();
    AppLook::centre(*this);

    m_keyList = std::make_unique<KeyListAdapter>(*Key_List);
    m_pass = std::make_unique<PatrolPass>(m_search, *m_keyList, static_cast<PatrolHost&>(*this));

    // The timer runs from the moment the window is loaded, so a message shown while the
    // list loads already has the patrol behind it.
    KillWindows = new QTimer(this);
    KillWindows->setObjectName(QStringLiteral("KillWindows"));
    KillWindows->setInterval(kPatrolIntervalMs);
    KillWindows->setTimerType(Qt::PreciseTimer);
    connect(KillWindows, &QTimer::timeout, this, &frmMain::KillWindows_Timer);
    KillWindows->start();
    // Between ticks, a window that appears or changes its title is checked as soon as the
    // platform reports it, that window alone; a change the platform cannot pin to a window
    // gets a whole pass. The timer still asks the windows that stay every 500 ms.
    m_extraPasses = std::make_unique<PatrolScheduler>(m_loop, [this] { m_pass->run(); });
    m_checks = std::make_unique<WindowChecks>(
        m_loop, [this](const std::vector<WindowHandle>& windows) { m_pass->check(windows); },
        [this] { m_extraPasses->changed(); });
    m_services.windows.setChangeListener(
        [this](WindowHandle window) { m_checks->changed(window); });

    Form_Load();
}

frmMain::~frmMain() {
    // The window system outlives the window.
    m_services.windows.setChangeListener({});
    delete m_about.data();
}

frmAbout* frmMain::aboutBox() const {
    return m_about.data();
}

void frmMain::buildControls() {
    auto button = [this](const char* name, const QString& caption, const QRect& place) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(place);
        // A button that has the focus is the one Enter presses, as on the platform's forms.
        b->setAutoDefault(true);
        return b;
    };
    auto label = [this](const char* name, const QString& text, const QRect& place, bool wrap) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->setWordWrap(wrap);
        AppLook::placeLabel(*l, place);
        return l;
    };

    Key_List = new QListWidget(this);
    Key_List->setObjectName(QStringLiteral("Key_List"));
    AppLook::placeFramed(*Key_List, Twips::rect(90, 990, 4935, 5280));
    Key_List->setSelectionMode(QAbstractItemView::SingleSelection);
    Key_List->setSortingEnabled(false);
    Key_List->setUniformItemSizes(true);
    Key_List->setEditTriggers(QAbstractItemView::NoEditTriggers);

    AddKey_Cmd =
        button("AddKey_Cmd", QStringLiteral("添加关键字"), Twips::rect(5265, 540, 1215, 510));

    Key_Text = new QLineEdit(this);
    Key_Text->setObjectName(QStringLiteral("Key_Text"));
    Key_Text->setGeometry(Twips::rect(90, 585, 4935, 270));
    Key_Text->setMaxLength(std::numeric_limits<int>::max());

    lblKeyword = label("lblKeyword", QStringLiteral("关键字(区分大小写)："),
                       Twips::rect(120, 360, 1800, 180), false);

    Command1 = button("Command1", QStringLiteral("Command1"), Twips::rect(5355, 0, 915, 465));
    Update_cmd =
        button("Update_cmd", QStringLiteral("修改关键字"), Twips::rect(5265, 1170, 1215, 465));
    SetMima_cmd =
        button("SetMima_cmd", QStringLiteral("密码设置"), Twips::rect(5280, 4080, 1230, 420));
    cmdOutList =
        button("cmdOutList", QStringLiteral("导出列表"), Twips::rect(5265, 2295, 1230, 420));
    cmdInputList =
        button("cmdInputList", QStringLiteral("导入列表"), Twips::rect(5265, 1755, 1230, 420));
    cmdHide = button("cmdHide", QStringLiteral("隐藏"), Twips::rect(5265, 4680, 1230, 420));
    cmdAbout = button("cmdAbout", QStringLiteral("关于"), Twips::rect(5265, 5280, 1230, 420));
    cmdDelList =
        button("cmdDelList", QStringLiteral("清除列表"), Twips::rect(5280, 3480, 1215, 420));
    cmdDelOne =
        button("cmdDelOne", QStringLiteral("清除选定项"), Twips::rect(5280, 2880, 1215, 420));

    cekAutoRun = new QCheckBox(QStringLiteral("开机自动运行"), this);
    cekAutoRun->setObjectName(QStringLiteral("cekAutoRun"));
    cekAutoRun->setGeometry(Twips::rect(5280, 5880, 1455, 255));
    cekAutoRun->setChecked(false);

    Command2 = button("Command2", QStringLiteral("Command2"), Twips::rect(4200, 0, 975, 375));

    lblNotice = label("lblNotice",
                      QStringLiteral("说明：当软件窗口标题包含关键字列表中的任意一条关键字时，"
                                     "窗口就会立即被关闭！"),
                      Twips::rect(120, 6360, 6255, 375), true);
    QPalette red = lblNotice->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    lblNotice->setPalette(red);

    // The diagnostic buttons stay part of the window but are never shown.
    Command1->hide();
    Command2->hide();

    QWidget* const order[] = {Key_List,    AddKey_Cmd, Key_Text,     Command1, Update_cmd,
                              SetMima_cmd, cmdOutList, cmdInputList, cmdHide,  cmdAbout,
                              cmdDelList,  cmdDelOne,  cekAutoRun,   Command2};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    // The first control in the tab order has the focus when the window is first shown.
    Key_List->setFocus(Qt::OtherFocusReason);
    setDefaultButton(AddKey_Cmd);

    connect(AddKey_Cmd, &QPushButton::clicked, this, &frmMain::AddKey_Cmd_Click);
    connect(Update_cmd, &QPushButton::clicked, this, &frmMain::Update_cmd_Click);
    connect(cmdDelOne, &QPushButton::clicked, this, &frmMain::cmdDelOne_Click);
    connect(cmdDelList, &QPushButton::clicked, this, &frmMain::cmdDelList_Click);
    connect(cmdInputList, &QPushButton::clicked, this, &frmMain::cmdInputList_Click);
    connect(cmdOutList, &QPushButton::clicked, this, &frmMain::cmdOutList_Click);
    connect(cmdHide, &QPushButton::clicked, this, &frmMain::cmdHide_Click);
    connect(cmdAbout, &QPushButton::clicked, this, &frmMain::cmdAbout_Click);
    connect(SetMima_cmd, &QPushButton::clicked, this, &frmMain::SetMima_cmd_Click);
    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmMain::Command2_Click);
    // clicked, not toggled: only a change made by the user writes the registry.
    connect(cekAutoRun, &QCheckBox::clicked, this, &frmMain::cekAutoRun_Click);

    Key_Text->installEventFilter(this);
    // The list's click: a choice by mouse or by the arrow keys, also of the entry already
    // selected, but not a selection that changes because entries were removed.
    connect(Key_List, &QListWidget::clicked, this, &frmMain::Key_List_Click);
    connect(Key_List->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_keyList && !m_keyList->changing() && m_keyList->selectionIndex() >= 0)
            Key_List_Click();
    });
}

void frmMain::Form_Load() {
    const QString path = QtText::toQ(m_services.app.keyListPath());
    if (m_listFile.FileExists(path)) {
        // A store that exists but could not be read is kept aside before it is first
        // overwritten, so that what it held is not lost.
        if (m_listFile.InputList(path, *m_keyList, ListFile::Links::Refuse) !=
            ListFile::ReadResult::Ok)
            m_keepStoreAside = true;
    }
    // Set by code, so the registry is neither written nor deleted.
    if (isAuto())
        cekAutoRun->setChecked(true);
}

void frmMain::OutputList(const QString& path) {
    writeList(path, m_listFile, m_services.prompts);
}

void frmMain::SaveQuietly() {
    SilentPrompts silent;
    ListFile quiet(silent);
    writeList(QtText::toQ(m_services.app.keyListPath()), quiet, silent);
}

void frmMain::writeList(const QString& path, ListFile& listFile, Prompts& prompts) {
    if (m_keepStoreAside && sameFile(path, QtText::toQ(m_services.app.keyListPath()))) {
        if (!listFile.KeepAside(QtText::toQ(m_services.app.keyListPath()))) {
            // Without a safe copy the unread store is not overwritten; this save fails.
            prompts.MsgBox(QStringLiteral("导出列表失败！无法创建文件。"),
                           Msg::OkOnly | Msg::Critical, QString());
            return;
        }
        m_keepStoreAside = false;
    }
    listFile.OutputList(path, *m_keyList,
                        isStorePath(path) ? ListFile::Links::Refuse : ListFile::Links::Follow);
}

bool frmMain::isStorePath(const QString& path) const {
    return QFileInfo(path).absoluteFilePath() ==
           QFileInfo(QtText::toQ(m_services.app.keyListPath())).absoluteFilePath();
}

bool frmMain::isAuto() {
    return AutoRun(m_services.registry, m_services.app).isAuto();
}

std::u16string frmMain::mainCaption() const {
    return QtText::fromQ(windowTitle());
}

std::uint32_t frmMain::ownProcessId() const {
    return static_cast<std::uint32_t>(QCoreApplication::applicationPid());
}

void frmMain::KillWindows_Timer() {
    m_pass->run();
}

void frmMain::Command1_Click() {
    m_pass->run();
}

void frmMain::Command2_Click() {
    m_keyList->clear();
    std::vector<WindowInfo> found;
    if (!m_search.SearchWindows(found, 1, 0))
        return;
    for (const WindowInfo& window : found)
        m_keyList->append(window.Title + u"><" + window.ClassName);
}

void frmMain::cmdHide_Click() {
    OutputList(QtText::toQ(m_services.app.keyListPath()));
    hide();
}

void frmMain::closeEvent(QCloseEvent* event) {
    // The window stays in every case: Yes ends the process before this returns.
    event->ignore();
    // A second request while the question is open is the same request.
    if (m_unloading)
        return;
    m_unloading = true;
    const bool mayClose = Form_Unload();
    m_unloading = false;
    if (mayClose)
        m_services.endProcess();
}

bool frmMain::Form_Unload() {
    // Saved before asking, so the list is on disk even when the user stays.
    OutputList(QtText::toQ(m_services.app.keyListPath()));
    const int answer = m_services.prompts.MsgBox(
        QStringLiteral("你确定要退出吗？"), Msg::YesNo | Msg::Question, QStringLiteral("询问"));
    return answer == Msg::Yes;
}

void frmMain::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (enter && plain && m_defaultButton && m_defaultButton->isEnabled()) {
        m_defaultButton->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Key_Text && event->type() == QEvent::FocusIn)
        Key_Text_GotFocus();
    return QWidget::eventFilter(watched, event);
}

void frmMain::setDefaultButton(QPushButton* button) {
    if (m_defaultButton == button)
        return;
    if (m_defaultButton)
        m_defaultButton->setDefault(false);
    m_defaultButton = button;
    if (m_defaultButton)
        m_defaultButton->setDefault(true);
}

void frmMain::Key_Text_GotFocus() {
    setDefaultButton(AddKey_Cmd);
}

void frmMain::Key_List_Click() {
    setDefaultButton(Update_cmd);
}

bool frmMain::isStorable(const QString& keyword) {
    const QStringList lost = QtCodec936::unencodable(keyword);
    if (lost.isEmpty())
        return true;
    m_services.prompts.MsgBox(unstorableMessage(lost), Msg::OkOnly | Msg::Critical,
                              QtText::toQ(AppInfo::title()));
    return false;
}

bool frmMain::hasRoom() {
    if (m_keyList->count() < ListFile::kMaxKeywords)
        return true;
    m_services.prompts.MsgBox(QStringLiteral("关键字列表已满，最多只能容纳 32767 个关键字。"),
                              Msg::OkOnly | Msg::Exclamation, QtText::toQ(AppInfo::title()));
    return false;
}

void frmMain::AddKey_Cmd_Click() {
    const QString typed = Key_Text->text();
    const QString trimmed = trimBlanks(typed);
    if (trimmed.isEmpty())
        return;
    // A keyword the list file cannot hold would come back from it as "?", which matches
    // nearly every title; and the list cannot address more than its limit.
    if (!isStorable(typed) || !hasRoom())
        return;
    if (isShortKeyword(trimmed)) {
        const int answer =
            m_services.prompts.MsgBox(QStringLiteral("关键字很短，你确定要添加吗?"),
                                      Msg::YesNo | Msg::Question, QStringLiteral("询问"));
        if (answer != Msg::Yes)
            return;
    }
    m_keyList->append(QtText::fromQ(typed));
    Key_Text->clear();
    Key_Text->setFocus(Qt::OtherFocusReason);
}

void frmMain::Update_cmd_Click() {
    const int index = m_keyList->selectionIndex();
    // Nothing selected: there is nothing to change.
    if (index < 0)
        return;
    const QString current = QtText::toQ(m_keyList->at(index));
    const QString text = m_services.prompts.InputBox(QStringLiteral("请输入关键字"),
                                                     QtText::toQ(AppInfo::title()), current);
    if (text.isEmpty() || !isStorable(text))
        return;
    // The entry the prompt was filled with must still be the one at that place.
    if (index >= m_keyList->count() || QtText::toQ(m_keyList->at(index)) != current)
        return;
    m_keyList->removeAt(index);
    m_keyList->insert(index, text);
}

void frmMain::cmdDelOne_Click() {
    // With nothing selected the removal fails, and that is ignored.
    m_keyList->removeAt(m_keyList->selectionIndex());
    Key_List->setFocus(Qt::OtherFocusReason);
}

void frmMain::cmdDelList_Click() {
    m_keyList->clear();
}

void frmMain::cmdInputList_Click() {
    FileDialogs::Request request;
    request.lpstrFilter = listFilter();
    FileDialogs(m_services.prompts).ShowOpenDialog(request);
    const QString path = FileDialogs::ChosenPath(request);
    if (path.isEmpty())
        return;
    m_listFile.InputList(path, *m_keyList);
}

void frmMain::cmdOutList_Click() {
    FileDialogs::Request request;
    request.lpstrFilter = listFilter();
    FileDialogs(m_services.prompts).ShowSaveDialog(request);
    const QString path = FileDialogs::ChosenPath(request);
    if (path.isEmpty())
        return;
    OutputList(path);
}

void frmMain::cmdAbout_Click() {
    if (!m_about)
        m_about = new frmAbout(m_services.openUrl);
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void frmMain::SetMima_cmd_Click() {
    if (m_services.setPassword)
        m_services.setPassword();
}

void frmMain::cekAutoRun_Click() {
    const int shown = AutoRun(m_services.registry, m_services.app)
                          .cekAutoRun_Click(cekAutoRun->isChecked() ? 1 : 0);
    // Set by code: no second registry operation follows.
    cekAutoRun->setChecked(shown == 1);
}
