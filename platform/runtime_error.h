#pragma once

#include <QString>

#include <exception>

namespace platform
{

// A failure that the program does not catch, reported the way the Windows run-time reports
// its errors: a number and a French description. The window shows it and ends; the command
// line front end prints it and exits with status 1.
class RuntimeError : public std::exception
{
public:
    RuntimeError(int number, QString description);

    // The run-time error that stands for a failed host call with this errno value.
    static RuntimeError fromErrno(int errnoValue);

    static constexpr int InvalidCall = 5;         // "Argument ou appel de procédure incorrect"
    static constexpr int Overflow = 6;            // "Dépassement de capacité"
    static constexpr int OutOfMemory = 7;         // "Mémoire insuffisante"
    static constexpr int SubscriptOutOfRange = 9; // "L'indice n'appartient pas à la sélection"
    static constexpr int BadFileName = 52;        // "Nom ou numéro de fichier incorrect"
    static constexpr int FileNotFound = 53;       // "Fichier introuvable"
    static constexpr int FileAlreadyOpen = 55;    // "Fichier déjà ouvert"
    static constexpr int DeviceIo = 57;           // "Erreur d'entrée/sortie sur périphérique"
    static constexpr int FileAlreadyExists = 58;  // "Le fichier existe déjà"
    static constexpr int DiskFull = 61;           // "Disque plein"
    static constexpr int TooManyFiles = 67;       // "Trop de fichiers"
    static constexpr int PermissionDenied = 70;   // "Permission refusée"
    static constexpr int PathFileAccess = 75;     // "Erreur d'accès au chemin/fichier"
    static constexpr int PathNotFound = 76;       // "Chemin d'accès introuvable"

    // The error of this number, with its usual description.
    explicit RuntimeError(int number);

    // The description that goes with one of the numbers above.
    static QString describe(int number);

    int number() const { return m_number; }
    QString description() const { return m_description; }
    // "Erreur d'exécution '75' :", a blank line, then the description.
    QString message() const;
    const char *what() const noexcept override { return m_what.constData(); }

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

} // namespace platform
