#include "registry/AutoRun.h"
#include "platform/qt/QtText.h"

#include "registry/CReg.h"

namespace {
const QString kRunKey = QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
constexpr int kUnchecked = 0;
constexpr int kChecked = 1;
} // namespace

AutoRun::AutoRun(RegistryApi& registry, const AppInfo& app) : m_registry(registry), m_app(app) {}

QString AutoRun::logonCommand() const {
    // The root folder already ends in the separator.
    const QString dir = QtText::toQ(m_app.exeDir()).endsWith(QLatin1Char('/'))
                            ? QtText::toQ(m_app.exeDir())
                            : QtText::toQ(m_app.exeDir()) + QLatin1Char('/');
    return dir + QtText::toQ(m_app.exeFileName()) + QStringLiteral(" /auto");
}

bool AutoRun::isAuto() {
    CReg reg(m_registry);
    Reg::Handle key = 0;
    reg.OpenKey(Reg::HkeyLocalMachine, kRunKey, key); // a failure leaves 0, which fails below
    bool answer = false;
    QByteArray data;
    qint32 type = 0;
    if (reg.GetValue(key, QtText::toQ(m_app.baseName()), data, type))
        answer = reg.ValueOutput(data, type).toUpper() == logonCommand().toUpper();
    reg.CloseKey(key);
    return answer;
}

int AutoRun::cekAutoRun_Click(int newValue) {
    if (newValue != kChecked && newValue != kUnchecked)
        return newValue; // a greyed box is neither a request to write nor to delete
    CReg reg(m_registry);
    Reg::Handle key = 0;
    reg.OpenKey(Reg::HkeyLocalMachine, kRunKey, key);
    int shown = newValue;
    if (newValue == kChecked) {
        if (!reg.SetValue(key, QtText::toQ(m_app.baseName()), Reg::TypeSz, logonCommand(), 0))
            shown = kUnchecked;
    } else if (!reg.DelValue(key, QtText::toQ(m_app.baseName()))) {
        shown = kChecked;
    }
    reg.CloseKey(key);
    return shown;
}
