#include "window/traduction_qt.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace
{

// Qt names a folder's type under the context QAbstractFileIconProvider, which Qt's French
// catalogue does not have yet: it holds those texts under QFileDialog, where Qt used to look.
class ContexteIconesFichiers : public QTranslator
{
public:
    ContexteIconesFichiers(const QTranslator &catalogue, QObject *parent)
        : QTranslator(parent), m_catalogue(catalogue)
    {
    }

    QString translate(const char *context, const char *sourceText, const char *disambiguation,
                      int n) const override
    {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return QString();
        return m_catalogue.translate("QFileDialog", sourceText, disambiguation, n);
    }
    bool isEmpty() const override { return false; }

private:
    const QTranslator &m_catalogue;
};

// The size and date columns of a QFileSystemModel, written in the default locale.
class ColonnesFrancaises : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *fichiers = qobject_cast<const QFileSystemModel *>(sourceModel());
        const QModelIndex source = mapToSource(index);
        if (role == Qt::DisplayRole && fichiers && source.isValid()) {
            if (index.column() == 1 && !fichiers->isDir(source))
                return QLocale().formattedDataSize(fichiers->size(source));
            if (index.column() == 3 && fichiers->lastModified(source).isValid())
                return QLocale().toString(fichiers->lastModified(source), QLocale::ShortFormat);
        }
        return QIdentityProxyModel::data(index, role);
    }
};

} // namespace

bool installerTraductionQt()
{
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    // One catalogue for the whole run, owned by the application.
    auto *traduction = new QTranslator(QCoreApplication::instance());
    if (!traduction->load(QStringLiteral("qtbase_fr"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete traduction;
        return false;
    }
    return QCoreApplication::installTranslator(traduction) &&
           QCoreApplication::installTranslator(
               new ContexteIconesFichiers(*traduction, QCoreApplication::instance()));
}

void colonnesEnFrancais(QFileDialog &dialogue)
{
    dialogue.setProxyModel(new ColonnesFrancaises(&dialogue));
}
