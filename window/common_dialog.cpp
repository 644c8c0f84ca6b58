#include "window/common_dialog.h"

#include "page/page_options.h"
#include "platform/paths.h"
#include "window/traduction_qt.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>

namespace MSComDlg
{

void CommonDialog::setBackend(DialogBackend backend)
{
    m_backend = std::move(backend);
}

void CommonDialog::show(DialogKind kind)
{
    const DialogAnswer answer = m_backend ? m_backend(kind, *this) : showQtDialog(kind, *this);
    if (!answer.confirmed) {
        if (CancelError)
            throw DialogCancelled();
        return;
    }
    if (kind == DialogKind::Color)
        Color = answer.color;
    else {
        FileName = answer.fileName;
        FilterIndex = answer.filterIndex;
    }
}

namespace
{

// "*.HTML" becomes "*.HTML *.html", so that a case-sensitive file system still lists both.
QString bothCases(const QString &patterns)
{
    QStringList all;
    for (const QString &pattern : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        for (const QString &variant : {pattern, pattern.toUpper(), pattern.toLower()}) {
            if (!all.contains(variant))
                all << variant;
        }
    }
    return all.join(QLatin1Char(' '));
}

// The filter the user chose, counted from 1; the dialog names it without its patterns.
int chosenFilter(const QFileDialog &dialog)
{
    const QString chosen = dialog.selectedNameFilter();
    const QStringList filters = dialog.nameFilters();
    for (qsizetype i = 0; i < filters.size(); ++i) {
        if (filters[i] == chosen || filters[i].startsWith(chosen + QStringLiteral(" (")))
            return int(i) + 1;
    }
    return 1;
}

DialogAnswer showFileDialog(DialogKind kind, const CommonDialog &properties)
{
    QFileDialog dialog(properties.owner());
    colonnesEnFrancais(dialog);
    configureFileDialog(dialog, kind, properties);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return DialogAnswer::cancel();
    const QString chosen = QDir(dialog.selectedFiles().constFirst()).absolutePath();
    return DialogAnswer::file(platform::toProgramPath(chosen), chosenFilter(dialog));
}

DialogAnswer showColorDialog(const CommonDialog &properties)
{
    QColorDialog dialog(colourFromPacked(properties.Color), properties.owner());
    if (dialog.exec() != QDialog::Accepted)
        return DialogAnswer::cancel();
    return DialogAnswer::colour(packedFromColour(dialog.selectedColor()));
}

} // namespace

QStringList nameFilters(const QString &filter)
{
    // The patterns go in a trailing bracket that the dialog hides, so that the description
    // shows exactly as given.
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + QStringLiteral(" (") + bothCases(parts[i + 1]) + QLatin1Char(')');
    return filters;
}

void configureFileDialog(QFileDialog &dialog, DialogKind kind, const CommonDialog &properties)
{
    dialog.setWindowTitle(properties.DialogTitle);
    dialog.setAcceptMode(kind == DialogKind::Save ? QFileDialog::AcceptSave
                                                  : QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setDefaultSuffix(QString());
    if (const auto folder = platform::toHostPath(properties.InitDir); folder && !folder->isEmpty())
        dialog.setDirectory(*folder);
    // The filters go first: set afterwards, they would rewrite the proposed name's extension.
    const QStringList filters = nameFilters(properties.Filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.value(properties.FilterIndex - 1, filters.constFirst()));
    }
    if (const auto name = platform::toHostPath(properties.FileName); name && !name->isEmpty())
        dialog.selectFile(*name);
}

DialogAnswer showQtDialog(DialogKind kind, const CommonDialog &properties)
{
    return kind == DialogKind::Color ? showColorDialog(properties)
                                     : showFileDialog(kind, properties);
}

QColor colourFromPacked(qint32 packed)
{
    return QColor(packed & 0xFF, (packed >> 8) & 0xFF, (packed >> 16) & 0xFF);
}

qint32 packedFromColour(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return RGB(rgb.red(), rgb.green(), rgb.blue());
}

} // namespace MSComDlg
