// Works the registry of the current XDG folders from a separate process:
//   set ROOT PATH NAME TYPE HEX    writes a value (exit 0 on success)
//   get ROOT PATH NAME             prints "TYPE:HEX" of a value (exit 1 when absent)
//   many ROOT PATH PREFIX COUNT    writes COUNT values PREFIX<n>, one change each
//   click DIR FILE VALUE           the run-at-logon box changed to VALUE; prints what it shows
//   isauto DIR FILE                prints 1 when run at logon is registered, else 0
// ROOT is HKCU or HKLM.
#include "common/AppInfo.h"
#include "platform/qt/QtText.h"
#include "platform/xdg/XdgRegistry.h"
#include "registry/AutoRun.h"
#include "registry/CReg.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
Reg::Handle rootOf(const char* name) {
    return std::strcmp(name, "HKLM") == 0 ? Reg::HkeyLocalMachine : Reg::HkeyCurrentUser;
}
QString arg(const char* a) {
    return QString::fromLocal8Bit(a);
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    XdgRegistry registry;
    CReg reg(registry);
    const QByteArray command = argv[1];
    if (command == "set" && argc == 7) {
        Reg::Handle key = 0;
        if (!reg.CreatKey(rootOf(argv[2]), arg(argv[3]), key))
            return 1;
        const QByteArray data = QByteArray::fromHex(argv[6]);
        const bool ok = reg.SetBinaryValue(key, arg(argv[4]), std::atoi(argv[5]), data,
                                           static_cast<qint32>(data.size()));
        reg.CloseKey(key);
        return ok ? 0 : 1;
    }
    if (command == "get" && argc == 5) {
        Reg::Handle key = 0;
        if (reg.OpenKey(rootOf(argv[2]), arg(argv[3]), key) != 0)
            return 1;
        QByteArray value;
        qint32 type = 0;
        const bool ok = reg.GetValue(key, arg(argv[4]), value, type);
        reg.CloseKey(key);
        if (!ok)
            return 1;
        std::printf("%d:%s\n", type, value.toHex().constData());
        return 0;
    }
    if (command == "many" && argc == 6) {
        Reg::Handle key = 0;
        if (!reg.CreatKey(rootOf(argv[2]), arg(argv[3]), key))
            return 1;
        int failed = 0;
        for (int i = 0; i < std::atoi(argv[5]); ++i)
            failed +=
                reg.SetValue(key, arg(argv[4]) + QString::number(i), Reg::TypeDword, i, 0) ? 0 : 1;
        reg.CloseKey(key);
        return failed == 0 ? 0 : 1;
    }
    if (command == "click" && argc == 5) {
        AutoRun autoRun(registry,
                        AppInfo(QtText::fromQ(arg(argv[2])), QtText::fromQ(arg(argv[3]))));
        std::printf("%d\n", autoRun.cekAutoRun_Click(std::atoi(argv[4])));
        return 0;
    }
    if (command == "isauto" && argc == 4) {
        AutoRun autoRun(registry,
                        AppInfo(QtText::fromQ(arg(argv[2])), QtText::fromQ(arg(argv[3]))));
        std::printf("%d\n", autoRun.isAuto() ? 1 : 0);
        return 0;
    }
    return 2;
}
