#include "QtSettingsStore.h"

#include <QSettings>
#include <QString>

namespace orvex {
namespace {
QString ToQ(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
QString KeyPath(std::string_view section, std::string_view key) {
    return ToQ(section) + QLatin1Char('/') + ToQ(key);
}
} // namespace

QtSettingsStore::QtSettingsStore(const std::string& path) {
    if (path.empty())
        m_settings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                 QStringLiteral("OrvexSDR"), ToQ(kApplicationName));
    else
        m_settings =
            std::make_unique<QSettings>(QString::fromStdString(path), QSettings::IniFormat);
}

QtSettingsStore::~QtSettingsStore() = default;

std::string QtSettingsStore::get(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    const QVariant v = m_settings->value(KeyPath(section, key));
    if (!v.isValid()) return std::string(defaultValue);
    // A value holding commas may come back as a list; join it as it was written.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(',')).toStdString();
    return v.toString().toStdString();
}

void QtSettingsStore::save(std::string_view section, std::string_view key, std::string_view value) {
    m_settings->setValue(KeyPath(section, key), ToQ(value));
}

bool QtSettingsStore::contains(std::string_view section, std::string_view key) const {
    return m_settings->contains(KeyPath(section, key));
}

bool QtSettingsStore::flush(std::string* error) {
    m_settings->sync();
    if (m_settings->status() == QSettings::NoError) return true;
    if (error)
        *error = "cannot write the settings file " + fileName() +
                 (m_settings->status() == QSettings::AccessError ? " (access denied)"
                                                                 : " (format error)");
    return false;
}

std::string QtSettingsStore::fileName() const {
    return m_settings->fileName().toStdString();
}

} // namespace orvex
