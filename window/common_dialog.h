#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>

class QFileDialog;
class QWidget;

// The window's one shared dialog component: the open, save and colour dialogs driven through
// a few properties set before each show. Paths are in program form ("\home\ana\page.html").
namespace MSComDlg
{

enum class DialogKind { Open, Save, Color };

// What the user answered: a full path (program form) for the file dialogs, a packed colour
// for the colour dialog, or a cancel.
struct DialogAnswer {
    bool confirmed = false;
    QString fileName;
    qint32 color = 0;
    int filterIndex = 1;

    static DialogAnswer cancel() { return {}; }
    static DialogAnswer file(const QString &path, int filter = 1)
    {
        return {true, path, 0, filter};
    }
    static DialogAnswer colour(qint32 packed) { return {true, {}, packed, 1}; }
};

// Thrown by a show call cancelled while CancelError is true.
class DialogCancelled : public std::exception
{
public:
    const char *what() const noexcept override { return "dialog cancelled"; }
};

class CommonDialog;

// Shows one dialog and reports the answer; the default shows Qt's own dialogs.
using DialogBackend = std::function<DialogAnswer(DialogKind, const CommonDialog &)>;

class CommonDialog
{
public:
    explicit CommonDialog(QWidget *owner) : m_owner(owner) {}

    QString DialogTitle;
    QString Filter; // "description|pattern|" pairs
    QString FileName;
    QString InitDir;
    int FilterIndex = 1; // the filter shown, counted from 1; after: the one the user chose
    qint32 Color = 0;    // red + 256 * green + 65536 * blue
    bool CancelError = false;

    void ShowOpen() { show(DialogKind::Open); }
    void ShowSave() { show(DialogKind::Save); }
    void ShowColor() { show(DialogKind::Color); }

    QWidget *owner() const { return m_owner; }
    // An empty backend restores Qt's dialogs.
    void setBackend(DialogBackend backend);

private:
    void show(DialogKind kind);

    QWidget *m_owner;
    DialogBackend m_backend;
};

// The default backend: a modal QFileDialog or QColorDialog.
DialogAnswer showQtDialog(DialogKind kind, const CommonDialog &properties);

// Sets up a file dialog from the properties: title, filters, initial folder and proposed
// name, the filter of FilterIndex; it confirms no overwrite and adds no extension.
void configureFileDialog(QFileDialog &dialog, DialogKind kind, const CommonDialog &properties);

// The Qt name filters of a "description|pattern|" list. Each filter shows its description
// only, and its patterns match names in upper and lower case.
QStringList nameFilters(const QString &filter);

// Packed colours to and from QColor.
QColor colourFromPacked(qint32 packed);
qint32 packedFromColour(const QColor &colour);

} // namespace MSComDlg
