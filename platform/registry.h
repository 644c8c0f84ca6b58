#pragma once

#include <QString>

#include <optional>

// A stand-in for the current user's part of the Windows registry: string values under keys
// named in Windows form ("Software\Microsoft\Internet Explorer\Main"), kept in an INI file
// in the user's configuration folder ($XDG_CONFIG_HOME/Signetor/registre.ini).
namespace platform
{

// The user's home folder ($HOME) and configuration folder ($XDG_CONFIG_HOME, else
// $HOME/.config), by the XDG rules: a variable that is unset or not an absolute path does not
// count. Empty when the user has no such folder.
QString userHomeFolder();
QString userConfigFolder();

class RegistryKey
{
public:
    // Opens the key, creating it when missing; nullopt when the store cannot be used: no
    // configuration folder, not a plain file, larger than 1 MiB, or its lock not taken in time.
    static std::optional<RegistryKey> createKey(const QString &subKey);

    // The value's text; nullopt when there is no such value.
    std::optional<QString> queryValue(const QString &name) const;
    // Writes a string value; false when the store could not be written.
    bool setValue(const QString &name, const QString &data) const;

private:
    explicit RegistryKey(QString group) : m_group(std::move(group)) {}
    QString m_group;
};

} // namespace platform
