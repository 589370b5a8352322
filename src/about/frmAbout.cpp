#include "about/frmAbout.h"

#include "app/AppLook.h"
#include "app/Twips.h"
#include "common/AppInfo.h"
#include "platform/qt/QtText.h"

#include <QDesktopServices>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

void setTextColour(QWidget& widget, const QColor& colour) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, colour);
    widget.setPalette(palette);
}

} // namespace

frmAbout::frmAbout(UrlOpener openUrl, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_openUrl(std::move(openUrl)) {
    if (!m_openUrl)
        m_openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("关于"));
    setWindowIcon(AppLook::icon());
    setFont(AppLook::font());
    setFixedSize(Twips::size(7170, 3915));

    cmdOK = new QPushButton(QStringLiteral("确定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(Twips::rect(5160, 3240, 1500, 345));
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    // The title's stored text is replaced at load and never shown.
    lblTitle = makeLabel(this, "lblTitle", QStringLiteral("app.path"));
    QFont titleFont = AppLook::font(14.25);
    lblTitle->setFont(titleFont);
    setTextColour(*lblTitle, QColor(0, 0, 192));

    lblDescription = makeLabel(this, "lblDescription", description());
    lblDescription->setWordWrap(true);
    setTextColour(*lblDescription, Qt::black);
    AppLook::placeLabel(*lblDescription, Twips::rect(1080, 720, 5325, 915));

    lblVersion =
        makeLabel(this, "lblVersion", QStringLiteral("版本：") + QtText::toQ(AppInfo::version()));
    AppLook::placeLabel(*lblVersion, Twips::rect(1080, 1800, 3885, 225));

    Label5 = makeLabel(this, "Label5", QStringLiteral("E-Mail:"));
    AppLook::placeLabel(*Label5, Twips::rect(1080, 2760, 630, 180));

    Label4 = makeLabel(this, "Label4", mailAddress());
    QFont linkFont = AppLook::font(9);
    linkFont.setUnderline(true);
    Label4->setFont(linkFont);
    setTextColour(*Label4, QColor(0, 0, 255));
    Label4->setCursor(Qt::PointingHandCursor);
    Label4->installEventFilter(this);
    AppLook::placeLabel(*Label4, Twips::rect(1800, 2760, 1440, 180));

    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::NoFrame);
    Line1->setAutoFillBackground(true);
    QPalette linePalette = Line1->palette();
    linePalette.setColor(QPalette::Window, QColor(128, 128, 128));
    Line1->setPalette(linePalette);
    // The line is laid out a little wider than the box, which cuts it at its edge.
    Line1->setGeometry(0, Twips::toPixels(3000), qMin(Twips::toPixels(7200), width()), 1);

    cmdOK->setFocus(Qt::OtherFocusReason);
    AppLook::centre(*this);
    Form_Load();
}

QString frmAbout::mailAddress() {
    return QStringLiteral("sentinel@example.com");
}

QString frmAbout::description() {
    return QStringLiteral(
        "本软件以监控窗口标题来达到管理窗口的目的，通过设置适当的关键字可以自动关闭一些存在不良"
        "信息的窗口，防止某些人浏览一些含有不良信息的网站（如色情网站等）。本软件可以设置密码，"
        "防止他人随意修改关键字,同时它还具有隐藏、开机自动运行的功能，可以实现一劳永逸.");
}

void frmAbout::Form_Load() {
    lblTitle->setText(QtText::toQ(AppInfo::title()));
    AppLook::placeLabel(*lblTitle, Twips::rect(1050, 120, 1200, 285));
}

void frmAbout::cmdOK_Click() {
    close();
}

void frmAbout::Label4_Click() {
    // The desktop's answer is not examined: without a mail program nothing more happens.
    m_openUrl(QUrl(QStringLiteral("mailto:") + Label4->text()));
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label4 && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            Label4->rect().contains(mouse->position().toPoint())) {
            Label4_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::keyPressEvent(QKeyEvent* event) {
    // Escape presses the OK button, as Enter does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
