#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class InstanceLock;
class LoginContext;
class QLineEdit;
class SettingsStore;
class WakeUpServer;
class frmMain;

// What the start-up window works with; every part outlives it.
struct StartServices {
    SettingsStore& settings;
    LoginContext& login;
    InstanceLock& instance;
    // Makes and loads the main window, not shown.
    std::function<std::unique_ptr<frmMain>()> loadMain;
    // Sends a text to a published wake-up address and waits until it was handled.
    std::function<void(const QString& address, const QString& text)> sendWakeUp;
    // Ends the whole process at once.
    std::function<void()> endProcess;
    // Where the wake-up socket lives; empty: the user's runtime folder.
    QString runtimeFolder = {};
};

// The start-up window: never shown, first made and last to go. It decides whether another
// instance runs (then wakes it and ends), publishes its own wake-up address, loads the main
// window hidden, and lets the user in; later it takes the wake-up requests of later starts
// through its text box txtShow.
class frmStart : public QWidget {
    Q_OBJECT
public:
    explicit frmStart(StartServices services);
    ~frmStart() override;

    // The start-up steps; arguments is the whole argument text. Returns only when the
    // program goes on running (the end of the process happens inside otherwise).
    void Form_Load(const QString& arguments);

    frmMain* mainWindow() const { return m_main.get(); }
    QLineEdit* textBox() const { return txtShow; }
    // The published wake-up id (0 before Form_Load or without a socket).
    qint32 wakeUpId() const;
    // At the instance's end: removes the wake-up socket and lets go of the instance lock.
    void releaseInstance();

    // The text that a wake-up request carries.
    static QString wakeUpText() { return QStringLiteral("show"); }

private:
    void receive(const QString& text);
    void txtShow_Change();
    void bringForward();

    StartServices m_services;
    QLineEdit* txtShow = nullptr;
    std::unique_ptr<WakeUpServer> m_server;
    std::unique_ptr<frmMain> m_main;
};
