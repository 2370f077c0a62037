#pragma once

#include <QLocale>
#include <QPageSize>
#include <QSizeF>
#include <QString>

namespace kestrin {

// The paper a locale prints on, from the C library's LC_PAPER: Letter for
// en_US, en_CA, es_MX and the others that use it, A4 for most of the world.
// QLocale's measurement system is only the fallback: it calls Canada metric,
// yet Canadian offices print on Letter.
class LocalePaper final
{
public:
    // `name` is a locale name as --locale takes it ("en_CA", "de_DE.UTF-8");
    // an empty one means the environment's (LC_ALL, LC_PAPER, LANG).
    static QPageSize forLocale(const QString &name, const QLocale &fallback);
    // The size in millimetres that the C library gives, or an empty size
    // where it has no such locale.
    static QSizeF fromCLibrary(const QString &name);
};

} // namespace kestrin
