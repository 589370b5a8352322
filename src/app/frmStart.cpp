#include "app/frmStart.h"

#include "app/frmMain.h"
#include "common/AppInfo.h"
#include "password/CLogin.h"
#include "password/LoginContext.h"
#include "platform/SettingsStore.h"
#include "platform/local/InstanceLock.h"
#include "platform/local/WakeUpServer.h"
#include "platform/qt/QtText.h"

#include <QLineEdit>

namespace {
const QString kSection = QStringLiteral("lgpw");
const QString kKey = QStringLiteral("hwnd");
} // namespace

frmStart::frmStart(StartServices services) : m_services(std::move(services)) {
    txtShow = new QLineEdit(this);
    txtShow->setObjectName(QStringLiteral("txtShow"));
    connect(txtShow, &QLineEdit::textChanged, this, &frmStart::txtShow_Change);
}

frmStart::~frmStart() = default;

qint32 frmStart::wakeUpId() const {
    return m_server ? m_server->id() : 0;
}

void frmStart::releaseInstance() {
    if (m_server)
        m_server->close();
    m_services.instance.release();
}

void frmStart::Form_Load(const QString& arguments) {
    if (m_services.instance.anotherInstanceRuns()) {
        const QString address =
            m_services.settings.GetSetting(QtText::toQ(AppInfo::title()), kSection, kKey);
        m_services.sendWakeUp(address, wakeUpText());
        m_services.endProcess();
        return;
    }

    m_server = std::make_unique<WakeUpServer>([this](const QString& text) { receive(text); },
                                              m_services.runtimeFolder);
    m_server->listen(m_services.instance.held());
    m_services.settings.SaveSetting(QtText::toQ(AppInfo::title()), kSection, kKey,
                                    QString::number(m_server->id()));

    m_main = m_services.loadMain();

    if (arguments.toLower() == QStringLiteral("/auto"))
        return;
    if (CLogin(m_services.login).Pass())
        m_main->show();
    else
        m_services.endProcess();
}

void frmStart::receive(const QString& text) {
    // A request that arrives while an earlier one is still being handled (its login dialog
    // is open) would not change the text; it goes to the gate, which brings the open dialog
    // forward and refuses, so no second dialog ever opens.
    if (!txtShow->text().isEmpty() && text == txtShow->text()) {
        if (text == wakeUpText() && m_main && !m_main->isVisible())
            CLogin(m_services.login).Pass();
        return;
    }
    txtShow->setText(text);
}

void frmStart::txtShow_Change() {
    const QString text = txtShow->text();
    if (m_main && text == wakeUpText()) {
        // A visible window comes back without a password; a hidden one only through the gate.
        if (m_main->isVisible() || CLogin(m_services.login).Pass())
            bringForward();
    }
    txtShow->clear();
}

void frmStart::bringForward() {
    // A minimised window counts as visible; brought back, it is restored as well.
    m_main->setWindowState(m_main->windowState() & ~Qt::WindowMinimized);
    m_main->show();
    m_main->raise();
    m_main->activateWindow();
}
