#include "localepaper.h"

#include <QStringList>

#include <langinfo.h>
#include <locale.h>

#include <cstdint>

namespace kestrin {

QSizeF LocalePaper::fromCLibrary(const QString &name)
{
    QStringList candidates{name};
    if (!name.isEmpty() && !name.contains(u'.'))
        candidates = {name + QStringLiteral(".UTF-8"), name + QStringLiteral(".utf8"), name};
    for (const QString &candidate : candidates) {
        locale_t paper = newlocale(LC_PAPER_MASK, candidate.toLocal8Bit().constData(), locale_t(nullptr));
        if (!paper)
            continue;
        // These items are numbers, handed back in the place of the pointer.
        const int width = int(reinterpret_cast<std::intptr_t>(nl_langinfo_l(_NL_PAPER_WIDTH, paper)));
        const int height = int(reinterpret_cast<std::intptr_t>(nl_langinfo_l(_NL_PAPER_HEIGHT, paper)));
        freelocale(paper);
        if (width > 0 && height > 0)
            return QSizeF(width, height);
    }
    return {};
}

QPageSize LocalePaper::forLocale(const QString &name, const QLocale &fallback)
{
    const QSizeF mm = fromCLibrary(name);
    if (!mm.isEmpty())
        return QPageSize(mm, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch);
    return QPageSize(fallback.measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter : QPageSize::A4);
}

} // namespace kestrin
