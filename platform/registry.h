#pragma once

#include <QString>

#include <optional>

// A stand-in for the current user's part of the Windows registry: string values under keys
// named in Windows form ("Software\Microsoft\Internet Explorer\Main"), kept in an INI file
// in the user's configuration folder ($XDG_CONFIG_HOME/Signetor/registre.ini).
namespace platform
{

class RegistryKey
{
public:
    // Opens the key, creating it when missing; nullopt when the store cannot be used.
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
