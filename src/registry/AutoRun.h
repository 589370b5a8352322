#pragma once

#include "common/AppInfo.h"
#include "platform/RegistryApi.h"

#include <QString>

// Run at logon: the entry under HKEY_LOCAL_MACHINE's Run key named after the executable's
// base name, holding the logon command. Each operation uses its own CReg.
class AutoRun {
public:
    AutoRun(RegistryApi& registry, const AppInfo& app);

    // "<directory>/<file name> /auto"
    QString logonCommand() const;
    // True when the entry exists and holds this executable's logon command.
    bool isAuto();
    // The user changed the check box to newValue (1 checked, 0 unchecked): write or delete
    // the entry. Returns the value the box must show afterwards (reverted on failure).
    int cekAutoRun_Click(int newValue);

private:
    RegistryApi& m_registry;
    AppInfo m_app;
};
