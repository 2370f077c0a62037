#include "sitekeys.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <vector>

namespace kestrin {

namespace {

using S = SiteFile::Sensor;
using B = SiteFile::Bridge;
using V = SiteValue;
using L = QLatin1StringView;

// The defaults of the keys left out are those of SiteFile.
constexpr std::array Keys{
    SiteKeys::key<&SiteFile::gateway, &V::gatewayHost>(L("host"), true),

    SiteKeys::key<&B::site, &V::siteId>(L("site")),
    SiteKeys::key<&B::listen, &V::listenAddress>(L("listen")),
    SiteKeys::key<&B::mqtt, &V::broker>(L("mqtt")),
    SiteKeys::key<&B::caFile, &V::absolutePath>(L("ca_file")),
    SiteKeys::key<&B::username, &V::text>(L("username")),
    SiteKeys::key<&B::passwordFile, &V::absolutePath>(L("password_file")),
    SiteKeys::key<&B::discoveryPrefix, &V::topicPrefix>(L("discovery_prefix")),
    SiteKeys::key<&B::staleAfterMinutes, &V::minutes>(L("stale_after")),
    SiteKeys::key<&B::onAlarm, &V::absolutePath>(L("on_alarm")),

    SiteKeys::key<&S::rom, &V::romId>(L("rom"), true),
    SiteKeys::key<&S::name, &V::name>(L("name")),
    SiteKeys::key<&S::low, &V::celsius>(L("low")),
    SiteKeys::key<&S::high, &V::celsius>(L("high")),
    SiteKeys::key<&S::hysteresis, &V::celsiusDifference>(L("hysteresis")),
    SiteKeys::key<&S::delay, &V::records>(L("delay")),
    SiteKeys::key<&S::silentAfterMinutes, &V::minutes>(L("silent_after")),
};

// Edits (insert, delete, change, swap two neighbours) from one text to the
// other: "nmae" is one from "name".
qsizetype editDistance(QStringView a, QStringView b)
{
    const qsizetype n = a.size();
    const qsizetype m = b.size();
    std::vector<std::vector<qsizetype>> d(std::size_t(n + 1), std::vector<qsizetype>(std::size_t(m + 1)));
    for (qsizetype i = 0; i <= n; ++i)
        d[std::size_t(i)][0] = i;
    for (qsizetype j = 0; j <= m; ++j)
        d[0][std::size_t(j)] = j;
    for (qsizetype i = 1; i <= n; ++i) {
        for (qsizetype j = 1; j <= m; ++j) {
            const auto ui = std::size_t(i), uj = std::size_t(j);
            const qsizetype cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[ui][uj] = std::min({d[ui - 1][uj] + 1, d[ui][uj - 1] + 1, d[ui - 1][uj - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[ui][uj] = std::min(d[ui][uj], d[ui - 2][uj - 2] + 1);
        }
    }
    return d[std::size_t(n)][std::size_t(m)];
}

QString closest(QStringView typed, const QStringList &known)
{
    // Typos of short words are few edits; a different word is many.
    const qsizetype allowed = typed.size() <= 4 ? 1 : 2;
    QString best;
    qsizetype bestDistance = allowed + 1;
    for (const QString &candidate : known) {
        const qsizetype distance = editDistance(typed.toString().toLower(), candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace

std::span<const SiteKeys::Key> SiteKeys::all()
{
    return Keys;
}

const SiteKeys::Key *SiteKeys::find(Section section, QStringView name)
{
    const auto it = std::find_if(Keys.begin(), Keys.end(),
                                 [&](const Key &key) { return key.section == section && key.name == name; });
    return it == Keys.end() ? nullptr : &*it;
}

QString SiteKeys::suggestKey(Section section, QStringView typed)
{
    QStringList known;
    for (const Key &key : Keys) {
        if (key.section == section)
            known << QString(key.name);
    }
    return closest(typed, known);
}

QString SiteKeys::suggestSection(QStringView typed)
{
    QStringList known{QStringLiteral("gateway"), QStringLiteral("bridge")};
    // "sensor1", "sensors.1", "Sensor.1": the number the user meant is in it.
    QString digits;
    for (const QChar c : typed) {
        if (c.isDigit())
            digits += c;
    }
    known << QStringLiteral("sensor.") + (digits.isEmpty() ? QStringLiteral("1") : digits);
    return closest(typed, known);
}

} // namespace kestrin
