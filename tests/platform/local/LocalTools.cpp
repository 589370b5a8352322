// Helper for the lock and wake-up tests, run as a separate process:
//   local_tools lock FOLDER        takes the instance lock, prints "locked" or "busy", then
//                                  sleeps until killed (when it got the lock)
//   local_tools send FOLDER ID TEXT sends TEXT to wake-up address ID; exit 0 when answered
#include "platform/local/InstanceLock.h"
#include "platform/local/WakeUpClient.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "lock") {
        InstanceLock lock(QString::fromLocal8Bit(argv[2]));
        const bool busy = lock.anotherInstanceRuns();
        std::printf("%s\n", busy ? "busy" : "locked");
        std::fflush(stdout);
        if (busy)
            return 3;
        for (;;)
            ::pause();
    }
    if (argc == 5 && QByteArray(argv[1]) == "send")
        return WakeUpClient::send(QString::fromLocal8Bit(argv[3]), QString::fromUtf8(argv[4]),
                                  QString::fromLocal8Bit(argv[2]))
                   ? 0
                   : 1;
    return 2;
}
