#include "window/info.h"

#include "window/seams.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace
{

// The window's layout is drawn in twips: 15 to a pixel at 96 dots per inch.
constexpr double kTwipsPerPixelAt96Dpi = 15.0;
constexpr double kLayoutPointSize = 8.25;
constexpr double kSmallestPointSize = 6.5;
constexpr int kShowMaximized = 3;

QLabel *makeLabel(QWidget *container, const QString &name)
{
    auto *label = new QLabel(container);
    label->setObjectName(name);
    return label;
}

void setTextColour(QLabel *label, const QColor &colour)
{
    QPalette palette;
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

// Only the attributes set here are the label's own; family and size still come from the
// window, so that a later change of the window's font reaches the label.
void setFontStyle(QLabel *label, bool bold, bool underline)
{
    QFont font;
    if (bold)
        font.setBold(true);
    if (underline)
        font.setUnderline(true);
    label->setFont(font);
}

void makeLink(QLabel *label, QObject *filter)
{
    setFontStyle(label, false, true);
    setTextColour(label, QColor(0, 0, 255));
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(filter);
}

} // namespace

Info::Info(QWidget *owner) : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QStringLiteral(" Signetor - Informations"));
    setModal(true);
    buildControls();
    setTexts();
    applyLooks();
    placeControls();
    setFont(fittedFont());
    widenLinks();

    connect(Cmd_Close, &QPushButton::clicked, this, &QDialog::reject);
    Cmd_Close->setFocus();
}

void Info::buildControls()
{
    // Created in tab order: "Fermer" first, so that it holds the focus when the window opens.
    Cmd_Close = new QPushButton(this);
    Cmd_Close->setObjectName(QStringLiteral("Cmd_Close"));
    Cmd_Close->setDefault(true);
    Cmd_Help = new QPushButton(this);
    Cmd_Help->setObjectName(QStringLiteral("Cmd_Help"));
    setTabOrder(Cmd_Close, Cmd_Help);

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame2 = new QGroupBox(Frame1);
    Frame2->setObjectName(QStringLiteral("Frame2"));

    for (int index = 0; index < int(Label1.size()); ++index) {
        QWidget *container = index == 3 ? Frame2 : Frame1;
        Label1[index] = makeLabel(container, QStringLiteral("Label1_%1").arg(index));
    }
    Lbl_email = makeLabel(Frame1, QStringLiteral("Lbl_email"));
    Lbl_Web = makeLabel(Frame1, QStringLiteral("Lbl_Web"));
    Lbl_Version = makeLabel(this, QStringLiteral("Lbl_Version"));
}

void Info::setTexts()
{
    Cmd_Close->setText(QStringLiteral("Fermer"));
    Cmd_Help->setText(QStringLiteral("Aide"));
    Label1[0]->setText(QStringLiteral("Pour toutes remarques ou informations sur cet utilitaire,"));
    Label1[1]->setText(QString::fromUtf8("contactez nous à :"));
    Label1[2]->setText(QStringLiteral("Page WEB :"));
    Label1[3]->setText(QString::fromUtf8("Signetor - L'équipe Signetor - 2026"));
    Label1[4]->setText(QString::fromUtf8("Ce programme est distribué gratuitement."));
    Lbl_email->setText(QStringLiteral("signetor@example.org"));
    Lbl_Web->setText(QStringLiteral("https://signetor.example.org/"));
    Lbl_Version->setText(QStringLiteral("Version " SIGNETOR_VERSION));
}

void Info::applyLooks()
{
    QFont font = this->font();
    font.setPointSizeF(kLayoutPointSize);
    setFont(font);

    setFontStyle(Label1[3], true, false);
    Label1[3]->setAlignment(Qt::AlignCenter);
    setTextColour(Label1[4], QColor(255, 0, 0));
    Label1[4]->setAlignment(Qt::AlignCenter);
    makeLink(Lbl_email, this);
    makeLink(Lbl_Web, this);
}

void Info::placeControls()
{
    setFixedSize(twips(5025), twips(3540));
    const auto place = [this](QWidget *control, int left, int top, int width, int height) {
        control->setGeometry(twips(left), twips(top), twips(width), twips(height));
    };
    place(Cmd_Close, 3660, 3000, 1215, 375);
    place(Cmd_Help, 2280, 3000, 1215, 375);
    place(Frame1, 165, 120, 4695, 2655);
    place(Frame2, 720, 240, 3255, 615);
    place(Label1[3], 240, 270, 2775, 255);
    place(Lbl_email, 1600, 1320, 1215, 255);
    place(Label1[0], 240, 1080, 4095, 255);
    place(Label1[1], 240, 1320, 1335, 255);
    place(Label1[2], 680, 1680, 975, 255);
    place(Lbl_Web, 1605, 1680, 2535, 255);
    place(Label1[4], 240, 2160, 4215, 255);
    place(Lbl_Version, 285, 3060, 1875, 255);
}

// The layout was drawn for a narrow 8 pt font. Where the desktop's font is wider, the
// window's font steps down until every fixed text fits the width its label was given.
QFont Info::fittedFont() const
{
    QFont font = this->font();
    while (font.pointSizeF() > kSmallestPointSize && !fixedTextsFit(font))
        font.setPointSizeF(font.pointSizeF() - 0.25);
    return font;
}

bool Info::fixedTextsFit(const QFont &dialogFont) const
{
    for (const QLabel *label : Label1) {
        QFont font = dialogFont;
        font.setBold(label->font().bold());
        if (QFontMetrics(font).horizontalAdvance(label->text()) > label->width())
            return false;
    }
    return true;
}

// The addresses keep their place but may run further right than drawn, inside the frame,
// rather than be cut off.
void Info::widenLinks()
{
    for (QLabel *link : {Lbl_email, Lbl_Web}) {
        const int room = Frame1->width() - link->x() - twips(60);
        const int wanted = qMin(link->sizeHint().width(), room);
        link->resize(qMax(link->width(), wanted), link->height());
    }
}

int Info::twips(int value) const
{
    return qRound(value / kTwipsPerPixelAt96Dpi * logicalDpiY() / 96.0);
}

bool Info::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        auto *label = qobject_cast<QLabel *>(watched);
        if (mouse->button() == Qt::LeftButton && label &&
            label->rect().contains(mouse->position().toPoint())) {
            if (label == Lbl_email)
                Lbl_email_Click();
            else if (label == Lbl_Web)
                Lbl_Web_Click();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Info::Lbl_email_Click()
{
    seams::ShellExecuteA({this, QStringLiteral("Open"),
                          QStringLiteral("mailto: signetor@example.org"), QString(), QString(),
                          kShowMaximized});
}

void Info::Lbl_Web_Click()
{
    seams::ShellExecuteA({this, QStringLiteral("Open"),
                          QStringLiteral("https://signetor.example.org/"), QString(), QString(),
                          kShowMaximized});
}
