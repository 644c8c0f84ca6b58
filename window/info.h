#pragma once

#include <QDialog>

#include <array>

class QGroupBox;
class QLabel;
class QPushButton;

// The about window: what the program is and how to reach its makers. It holds no state;
// the owner shows a fresh one modally each time. The two address labels are live links
// handed to the desktop's handlers.
class Info : public QDialog
{
    Q_OBJECT

public:
    explicit Info(QWidget *owner = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void placeControls();
    void setTexts();
    void applyLooks();
    QFont fittedFont() const;
    bool fixedTextsFit(const QFont &dialogFont) const;
    void widenLinks();
    int twips(int value) const;

    void Lbl_email_Click();
    void Lbl_Web_Click();

    QPushButton *Cmd_Close = nullptr;
    QPushButton *Cmd_Help = nullptr;
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    std::array<QLabel *, 5> Label1{};
    QLabel *Lbl_email = nullptr;
    QLabel *Lbl_Web = nullptr;
    QLabel *Lbl_Version = nullptr; // left of the buttons, where the layout has nothing
};
