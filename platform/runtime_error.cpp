#include "runtime_error.h"

#include <cerrno>

namespace platform
{

RuntimeError::RuntimeError(int number, QString description)
    : m_number(number), m_description(std::move(description)), m_what(message().toUtf8())
{
}

RuntimeError::RuntimeError(int number) : RuntimeError(number, describe(number)) {}

RuntimeError RuntimeError::fromErrno(int errnoValue)
{
    switch (errnoValue) {
    case ENOENT:
    case ENOTDIR:
        return RuntimeError(PathNotFound);
    case EACCES:
    case EPERM:
    case EBUSY:
    case ETXTBSY:
        return RuntimeError(PermissionDenied);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return RuntimeError(DiskFull);
    case EIO:
        return RuntimeError(DeviceIo);
    case ENOMEM:
        return RuntimeError(OutOfMemory);
    case EMFILE:
    case ENFILE:
        return RuntimeError(TooManyFiles);
    default:
        return RuntimeError(PathFileAccess);
    }
}

QString RuntimeError::describe(int number)
{
    switch (number) {
    case InvalidCall:
        return QStringLiteral("Argument ou appel de procédure incorrect");
    case Overflow:
        return QStringLiteral("Dépassement de capacité");
    case OutOfMemory:
        return QStringLiteral("Mémoire insuffisante");
    case SubscriptOutOfRange:
        return QStringLiteral("L'indice n'appartient pas à la sélection");
    case BadFileName:
        return QStringLiteral("Nom ou numéro de fichier incorrect");
    case FileNotFound:
        return QStringLiteral("Fichier introuvable");
    case FileAlreadyOpen:
        return QStringLiteral("Fichier déjà ouvert");
    case DeviceIo:
        return QStringLiteral("Erreur d'entrée/sortie sur périphérique");
    case FileAlreadyExists:
        return QStringLiteral("Le fichier existe déjà");
    case DiskFull:
        return QStringLiteral("Disque plein");
    case TooManyFiles:
        return QStringLiteral("Trop de fichiers");
    case PermissionDenied:
        return QStringLiteral("Permission refusée");
    case PathFileAccess:
        return QStringLiteral("Erreur d'accès au chemin/fichier");
    case PathNotFound:
        return QStringLiteral("Chemin d'accès introuvable");
    default:
        return QStringLiteral("Erreur définie par l'application ou par l'objet");
    }
}

QString RuntimeError::message() const
{
    return QStringLiteral("Erreur d'exécution '%1' :\n\n").arg(m_number) + m_description;
}

} // namespace platform
