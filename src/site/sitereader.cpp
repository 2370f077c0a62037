#include "sitereader.h"

#include "sitekeys.h"
#include "sitevalue.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <limits>
#include <map>

namespace kestrin {

namespace {

// A hand-written reader rather than QSettings: that one takes almost any
// text, knows no line numbers, and keeps the last of two equal keys, and
// each of those would let a typo in a site file pass unseen.

using Section = SiteKeys::Section;

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimmed(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.mid(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool isComment(QStringView text)
{
    return text.startsWith(u'#') || text.startsWith(u';');
}

struct SectionSeen
{
    Section kind;
    int sensorNumber = 0;
    int line = 0;
    QString header; // "[sensor.2]"
    QHash<QString, int> keyLines;
};

class Parser
{
public:
    explicit Parser(QString fileName) { m_site.fileName = std::move(fileName); }

    std::optional<SiteError> line(int number, QStringView text);
    SiteReader::Result finish();

    SiteError error(int line, QString message) const { return SiteError{m_site.fileName, line, std::move(message)}; }

private:
    std::optional<SiteError> sectionHeader(int number, QStringView text);
    std::optional<SiteError> keyValue(int number, QStringView text);

    SiteFile m_site;
    std::vector<SectionSeen> m_sections;
    QHash<QString, int> m_sectionLines; // "sensor.2" -> line
    std::map<int, SiteFile::Sensor> m_sensors;
    QHash<QString, std::pair<int, int>> m_roms; // rom -> sensor number, line
    SiteFile::Sensor m_unused; // what a store for another section writes nothing to
};

std::optional<SiteError> Parser::line(int number, QStringView text)
{
    for (const char32_t c : text.toUcs4()) {
        if (c == 0xFEFF)
            return error(number, QStringLiteral("a byte order mark (U+FEFF) belongs only at the start of the file"));
        if (c != u'\t' && QChar::category(c) == QChar::Other_Control)
            return error(number, QStringLiteral("control character ") + SiteValue::codePoint(c));
    }
    const QStringView content = trimmed(text);
    if (content.isEmpty() || isComment(content))
        return std::nullopt;
    if (content.startsWith(u'['))
        return sectionHeader(number, content);
    return keyValue(number, content);
}

std::optional<SiteError> Parser::sectionHeader(int number, QStringView text)
{
    const qsizetype close = text.indexOf(u']');
    if (close < 0)
        return error(number, QStringLiteral("a section header ends in ]"));
    const QString name = text.mid(1, close - 1).toString();
    const QStringView after = trimmed(text.mid(close + 1));
    const QString header = u'[' + name + u']';
    if (!after.isEmpty() && !isComment(after))
        return error(number, QStringLiteral("text after ") + header);

    SectionSeen seen{Section::Gateway, 0, number, header, {}};
    if (name == u"gateway") {
        seen.kind = Section::Gateway;
    } else if (name == u"bridge") {
        seen.kind = Section::Bridge;
    } else if (name.startsWith(u"sensor.")) {
        const QStringView digits = QStringView(name).mid(7);
        const bool plain = !digits.isEmpty() && digits.size() <= 2 && digits.front() != u'0'
            && std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        const int sensor = plain ? digits.toInt() : 0;
        if (sensor < 1 || sensor > SiteFile::MaxSensors)
            return error(number, header + QStringLiteral(": sensors are numbered 1 to %1").arg(SiteFile::MaxSensors));
        seen.kind = Section::Sensor;
        seen.sensorNumber = sensor;
        m_sensors[sensor].number = sensor;
    } else {
        const QString suggestion = SiteKeys::suggestSection(name);
        return error(number, QStringLiteral("unknown section ") + header
                                 + (suggestion.isEmpty() ? QString() : QStringLiteral(" (did you mean [%1]?)").arg(suggestion)));
    }
    if (const auto first = m_sectionLines.constFind(name); first != m_sectionLines.constEnd())
        return error(number, QStringLiteral("duplicate section %1 (first on line %2)").arg(header).arg(*first));
    m_sectionLines.insert(name, number);
    m_sections.push_back(std::move(seen));
    return std::nullopt;
}

std::optional<SiteError> Parser::keyValue(int number, QStringView text)
{
    const qsizetype equals = text.indexOf(u'=');
    const QString key = trimmed(text.left(std::max<qsizetype>(equals, 0))).toString();
    if (equals < 0 || key.isEmpty())
        return error(number, QStringLiteral("expected [section], key = value or a comment"));
    if (m_sections.empty())
        return error(number, QStringLiteral("key %1 outside a section").arg(key));
    SectionSeen &section = m_sections.back();

    const SiteKeys::Key *known = SiteKeys::find(section.kind, key);
    if (!known) {
        const QString suggestion = SiteKeys::suggestKey(section.kind, key);
        return error(number, QStringLiteral("unknown key %1 in %2").arg(key, section.header)
                                 + (suggestion.isEmpty() ? QString() : QStringLiteral(" (did you mean %1?)").arg(suggestion)));
    }
    if (const auto first = section.keyLines.constFind(key); first != section.keyLines.constEnd())
        return error(number, QStringLiteral("duplicate key %1 in %2 (first on line %3)").arg(key, section.header).arg(*first));
    section.keyLines.insert(key, number);

    // The value: in double quotes, or up to a comment that starts after whitespace.
    QStringView rest = trimmed(text.mid(equals + 1));
    QStringView value;
    if (rest.startsWith(u'"')) {
        const qsizetype close = rest.indexOf(u'"', 1);
        if (close < 0)
            return error(number, QStringLiteral("%1 has no closing quote").arg(key));
        const QStringView after = trimmed(rest.mid(close + 1));
        if (!after.isEmpty() && !isComment(after))
            return error(number, QStringLiteral("text after the closing quote of %1").arg(key));
        value = rest.mid(1, close - 1);
    } else {
        qsizetype end = 0;
        while (end < rest.size() && !(isComment(rest.mid(end)) && (end == 0 || isBlank(rest[end - 1]))))
            ++end;
        value = trimmed(rest.left(end));
    }
    if (value.isEmpty())
        return error(number, QStringLiteral("%1 has no value").arg(key));

    SiteFile::Sensor &sensor = section.kind == Section::Sensor ? m_sensors[section.sensorNumber] : m_unused;
    if (const std::optional<QString> problem = known->store(value, m_site, sensor))
        return error(number, key + u' ' + *problem);

    if (section.kind == Section::Sensor && key == u"rom") {
        const auto [other, line] = m_roms.value(sensor.rom, {0, 0});
        if (other != 0)
            return error(number, QStringLiteral("rom %1 is sensor %2 already (line %3)").arg(sensor.rom).arg(other).arg(line));
        m_roms.insert(sensor.rom, {section.sensorNumber, number});
    }
    return std::nullopt;
}

SiteReader::Result Parser::finish()
{
    // Of what the whole file shows, the error on the earliest line.
    std::vector<SiteError> found;
    if (!m_sectionLines.contains(QStringLiteral("gateway")))
        found.push_back(error(0, QStringLiteral("no [gateway] section")));
    for (const SectionSeen &section : m_sections) {
        for (const SiteKeys::Key &key : SiteKeys::all()) {
            if (key.section == section.kind && key.required && !section.keyLines.contains(QString(key.name)))
                found.push_back(error(section.line, QStringLiteral("%1 has no %2").arg(section.header, QString(key.name))));
        }
        if (section.kind == Section::Sensor) {
            const SiteFile::Sensor &sensor = m_sensors[section.sensorNumber];
            if (sensor.low && sensor.high && !(*sensor.low < *sensor.high)) {
                const int line = std::max(section.keyLines.value(QStringLiteral("low")),
                                          section.keyLines.value(QStringLiteral("high")));
                found.push_back(error(line, QStringLiteral("low %1 is not below high %2")
                                                .arg(QString::number(*sensor.low), QString::number(*sensor.high))));
            }
        }
    }
    if (m_sensors.empty())
        found.push_back(error(0, QStringLiteral("no [sensor.1] section: a site has at least one sensor")));
    for (int n = 1; !m_sensors.empty() && n < m_sensors.rbegin()->first; ++n) {
        if (m_sensors.contains(n))
            continue;
        const int next = m_sensors.upper_bound(n)->first;
        found.push_back(error(m_sectionLines.value(QStringLiteral("sensor.%1").arg(next)),
                              QStringLiteral("sensor %1 is missing: sensors are numbered from 1 without holes").arg(n)));
        break;
    }
    if (!found.empty()) {
        return *std::min_element(found.begin(), found.end(), [](const SiteError &a, const SiteError &b) {
            // Line 0 (the file as a whole) after every line.
            const auto rank = [](int line) { return line > 0 ? line : std::numeric_limits<int>::max(); };
            return rank(a.line) < rank(b.line);
        });
    }

    for (auto &[number, sensor] : m_sensors)
        m_site.sensors.push_back(std::move(sensor));
    return m_site;
}

} // namespace

SiteReader::Result SiteReader::read(const QString &path, const QString &shownName)
{
    const QString name = shownName.isEmpty() ? path : shownName;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return SiteError{name, 0, QStringLiteral("cannot read: ") + file.errorString()};
    const QByteArray bytes = file.read(MaxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return SiteError{name, 0, QStringLiteral("cannot read: ") + file.errorString()};
    if (bytes.size() > MaxBytes)
        return SiteError{name, 0, QStringLiteral("larger than %1 bytes: no site file").arg(MaxBytes)};
    return parse(bytes, name);
}

SiteReader::Result SiteReader::parse(const QByteArray &bytes, const QString &fileName)
{
    Parser parser(fileName);
    QByteArrayView rest(bytes);
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    for (int number = 1; !rest.isEmpty(); ++number) {
        const qsizetype newline = rest.indexOf('\n');
        QByteArrayView line = newline < 0 ? rest : rest.first(newline);
        rest = newline < 0 ? QByteArrayView() : rest.sliced(newline + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        // A decoder per line, so that the error names the line; a BOM kept
        // as U+FEFF, so that one inside the file is seen.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        const QString text = decoder.decode(line);
        if (decoder.hasError())
            return parser.error(number, QStringLiteral("not valid UTF-8"));
        if (std::optional<SiteError> error = parser.line(number, text))
            return *error;
    }
    return parser.finish();
}

} // namespace kestrin
