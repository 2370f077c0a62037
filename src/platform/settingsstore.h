#pragma once

#include <QString>

#include <memory>
#include <optional>

class QSettings;

namespace kestrin {

// The per-user settings store: text values by application name, section and
// key. Errors come back as text; the window decides how to tell the user.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;
    // Writes one value; nullopt on success, else the reason.
    virtual std::optional<QString> SaveSetting(const QString &appName, const QString &section, const QString &key,
                                               const QString &value) = 0;
    // Makes what was written reach the disk; nullopt on success.
    virtual std::optional<QString> flush() = 0;
    // Where the store lives, for messages.
    virtual QString location() const = 0;
};

// Qt's native per-user store (the registry on Windows, ~/.config on Linux),
// or an INI file of a given path.
class QtSettingsStore final : public SettingsStore
{
public:
    QtSettingsStore();                               // organisation and application "Kestrin-3"
    explicit QtSettingsStore(const QString &iniPath); // one file, for a store of one's own
    ~QtSettingsStore() override;

    std::optional<QString> SaveSetting(const QString &appName, const QString &section, const QString &key,
                                       const QString &value) override;
    std::optional<QString> flush() override;
    QString location() const override;

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace kestrin
