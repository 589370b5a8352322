#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;

// The About box: names the program and its version, describes it, and offers a mail link.
// Modeless; destroyed when it closes, so each showing loads afresh.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    using UrlOpener = std::function<void(const QUrl&)>;

    // openUrl carries out the mail link; by default the desktop's handler for the URL.
    explicit frmAbout(UrlOpener openUrl = {}, QWidget* parent = nullptr);

    static QString mailAddress();
    static QString description();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();
    void cmdOK_Click();
    void Label4_Click();

    UrlOpener m_openUrl;
    QLabel* lblTitle;
    QLabel* lblDescription;
    QLabel* lblVersion;
    QLabel* Label5;
    QLabel* Label4;
    QFrame* Line1;
    QPushButton* cmdOK;
};
