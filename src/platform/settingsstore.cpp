#include "settingsstore.h"

#include "appinfo.h"

#include <QDir>
#include <QSettings>

namespace kestrin {

namespace {
QString statusText(QSettings::Status status)
{
    switch (status) {
    case QSettings::NoError: return {};
    case QSettings::AccessError: return QStringLiteral("access denied");
    case QSettings::FormatError: return QStringLiteral("the store is not in a readable format");
    }
    return QStringLiteral("unknown error");
}
} // namespace

QtSettingsStore::QtSettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, appinfo::title(),
                                             appinfo::title()))
{
}

QtSettingsStore::QtSettingsStore(const QString &iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
}

QtSettingsStore::~QtSettingsStore() = default;

std::optional<QString> QtSettingsStore::SaveSetting(const QString &appName, const QString &section,
                                                    const QString &key, const QString &value)
{
    // The native store is already per application; the name is part of its
    // location, so it only matters for a store of one's own.
    Q_UNUSED(appName);
    m_settings->beginGroup(section);
    m_settings->setValue(key, value);
    m_settings->endGroup();
    if (const QString error = statusText(m_settings->status()); !error.isEmpty())
        return error;
    return std::nullopt;
}

std::optional<QString> QtSettingsStore::flush()
{
    m_settings->sync();
    if (const QString error = statusText(m_settings->status()); !error.isEmpty())
        return error;
    return std::nullopt;
}

QString QtSettingsStore::location() const
{
    return QDir::toNativeSeparators(m_settings->fileName());
}

} // namespace kestrin
