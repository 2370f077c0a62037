#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kestrin {

// The broker password, from a file only its owner can get at: like ssh
// with a private key, a file that group or others may access is refused.
struct PasswordFile
{
    std::optional<QByteArray> password;
    QString error;

    // The first line, without its line end.
    static PasswordFile read(const QString &path);
};

} // namespace kestrin
