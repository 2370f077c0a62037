// kestrin-logview --report as a user runs it: the real program on a log the
// real record writer made, with a real site file, its PDF read back with
// pdftotext and pdfinfo (poppler-utils), its CSV parsed. The zone is the
// process's (TZ from CTest); each case sets the program's locale.
#include "logfiles.h"
#include "reportlogs.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrin;
using namespace kestrin::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString program = QStringLiteral(KESTRIN_LOGVIEW);
const QDate first(2026, 12, 1);

qint64 at(int day, int h, int m = 0)
{
    return localMoment(first.addDays(day), QTime(h, m));
}

// Three sensors over 1-3 December, a record a minute. The third leaves its
// range [2, 8] for 90 minutes on the 2nd, peaking at 9.5 °C.
std::vector<float> readings(qint64 t)
{
    const float wobble = (t / 60) % 2 == 0 ? 4.5f : 5.5f;
    const float third = t >= at(1, 10) && t < at(1, 11, 30) ? (t == at(1, 10, 45) ? 9.5f : 9.0f) : wobble;
    return {wobble - 25, wobble, third};
}

const QByteArray siteText = "[gateway]\nhost = 192.0.2.17\n"
                            "[sensor.1]\nrom = 9C000000B4A89828\nname = \"Freezer 2, top\"\n"
                            "[sensor.2]\nrom = 06000000A4EC7428\nname = Cold room\n"
                            "[sensor.3]\nrom = B900000027CA8F28\nname = Vaccines\nlow = 2\nhigh = 8\n";

struct Run
{
    int status = -1;
    QString err;
};

Run run(const QStringList &args, const QString &locale, const QString &workDir = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LANG"), locale);
    env.insert(QStringLiteral("LC_ALL"), locale);
    // No site file but the one a case names.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), workDir.isEmpty() ? QDir::tempPath() + QStringLiteral("/none") : workDir);
    env.insert(QStringLiteral("XDG_CONFIG_DIRS"), QDir::tempPath() + QStringLiteral("/none"));
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAllStandardError())};
}

QString tool(const QString &name, const QStringList &args)
{
    QProcess p;
    p.start(name, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// "-05:00", the UTC offset at that moment by the C library.
QString isoOffset(qint64 utc)
{
    const int off = offsetAt(utc);
    return QStringLiteral("%1%2:%3")
        .arg(QChar(off < 0 ? u'-' : u'+'))
        .arg(std::abs(off) / 3600, 2, 10, QChar(u'0'))
        .arg(std::abs(off) / 60 % 60, 2, 10, QChar(u'0'));
}

// Fields of one RFC 4180 row.
QStringList fields(const QString &row)
{
    QStringList out;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < row.size(); ++i) {
        const QChar c = row[i];
        if (quoted && c == u'"' && i + 1 < row.size() && row[i + 1] == u'"') {
            field += c;
            ++i;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (c == u',' && !quoted) {
            out << field;
            field.clear();
        } else {
            field += c;
        }
    }
    return out << field;
}

} // namespace

class ReportCommandTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void pdf_data();
    void pdf();
    void csv();
    void badInput_data();
    void badInput();

private:
    QTemporaryDir m_dir;
    QString writeLog(const QLocale &locale, const QString &name);
};

void ReportCommandTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    tzset();
    QFile site(m_dir.filePath(QStringLiteral("lab-a.ini")));
    QVERIFY(site.open(QIODevice::WriteOnly));
    site.write(siteText);
}

QString ReportCommandTest::writeLog(const QLocale &locale, const QString &name)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(LogMaker(locale).add(at(0, 0), at(3, 0), 60, readings).bytes());
    // A line that is no record, which the footer counts.
    file.write("this is no record\r\n");
    return path;
}

void ReportCommandTest::pdf_data()
{
    QTest::addColumn<QString>("environment"); // LANG and LC_ALL
    QTest::addColumn<QString>("localeOption");
    QTest::addColumn<QString>("period");
    QTest::addColumn<QString>("paper");
    QTest::addColumn<int>("pages");

    QTest::newRow("de_DE: A4") << u"de_DE.UTF-8"_s << QString() << u"day"_s << u"A4"_s << 9;
    QTest::newRow("en_US: Letter") << u"en_US.UTF-8"_s << QString() << u"day"_s << u"letter"_s << 9;
    QTest::newRow("en_CA: Letter, though QLocale calls it metric") << u"en_CA.UTF-8"_s << QString() << u"month"_s << u"letter"_s << 3;
    QTest::newRow("--locale es_MX: Letter") << u"C.UTF-8"_s << u"es_MX"_s << u"week"_s << u"letter"_s << 3;
    QTest::newRow("--locale de_DE under en_US: A4") << u"en_US.UTF-8"_s << u"de_DE"_s << u"month"_s << u"A4"_s << 3;
}

void ReportCommandTest::pdf()
{
    QFETCH(QString, environment);
    QFETCH(QString, localeOption);
    QFETCH(QString, period);
    QFETCH(QString, paper);
    QFETCH(int, pages);
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");

    const QLocale locale(localeOption.isEmpty() ? environment.section(u'.', 0, 0) : localeOption);
    const QString log = writeLog(locale, QStringLiteral("records-%1.txt").arg(locale.name()));
    const QString out = m_dir.filePath(QStringLiteral("report-%1-%2.pdf").arg(locale.name(), period));
    QStringList args{QStringLiteral("--report"), QStringLiteral("pdf"), QStringLiteral("--period"), period,
                     QStringLiteral("--site"), m_dir.filePath(QStringLiteral("lab-a.ini")), log, QStringLiteral("-o"), out};
    if (!localeOption.isEmpty())
        args << QStringLiteral("--locale") << localeOption;
    const Run r = run(args, environment);
    QVERIFY2(r.status == 0, qPrintable(r.err));

    const QString info = tool(QStringLiteral("pdfinfo"), {out});
    QCOMPARE(QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info).captured(1).toInt(), pages);
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Page size:.*\\(%1\\)").arg(paper))), qPrintable(info));

    const QString text = tool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), out, QStringLiteral("-")});
    QVERIFY2(text.contains(QStringLiteral("Temperature record: lab-a")), qPrintable(text.left(2000)));
    QVERIFY(text.contains(QStringLiteral("3 Vaccines, ROM B900000027CA8F28")));
    QVERIFY(text.contains(QStringLiteral("1 Freezer 2, top, ROM 9C000000B4A89828")));
    QCOMPARE(text.count(QStringLiteral("Page ")), pages);
    QVERIFY(text.contains(QStringLiteral("Page %1 of %1").arg(pages)));
    // The excursion of the 2nd: its peak, when, and how long, in the locale's form.
    const QString peak = locale.toString(9.5, 'f', 1) + QStringLiteral(" °C");
    QVERIFY2(text.contains(QRegularExpression(QRegularExpression::escape(peak + QStringLiteral(" at ")) + QStringLiteral("[^\\n]*10:45:00"))),
             qPrintable(peak));
    QVERIFY(text.contains(QStringLiteral("1:30:00")));
    QVERIFY2(text.contains(QStringLiteral("%1 minutes out of range").arg(locale.toString(90.0, 'f', 2))), qPrintable(text));
    if (period == u"day") {
        // The MKT of the 2nd: 90 minutes of 9 °C (one of them 9.5 °C) among 4.5 and 5.5 by turns.
        const double mkt = mktOf({{4.5, 675 / 1440.0}, {5.5, 675 / 1440.0}, {9.0, 89 / 1440.0}, {9.5, 1 / 1440.0}});
        QVERIFY2(text.contains(locale.toString(mkt, 'f', 2) + QStringLiteral(" °C (ΔH")),
                 qPrintable(locale.toString(mkt, 'f', 2)));
    }
    QVERIFY(text.contains(QStringLiteral("lines skipped (no record): 1")));

    // The footer's hash is the file's, by another program.
    const QString sum = tool(QStringLiteral("sha256sum"), {log}).section(u' ', 0, 0);
    QCOMPARE(sum.size(), 64);
    QVERIFY2(text.contains(sum), qPrintable(sum));
}

void ReportCommandTest::csv()
{
    // A German log: the CSV is for machines all the same.
    const QString log = writeLog(QLocale(QStringLiteral("de_DE")), QStringLiteral("records-csv.txt"));
    const QString out = m_dir.filePath(QStringLiteral("report.csv"));
    const Run r = run({QStringLiteral("--report=csv"), QStringLiteral("--site"), m_dir.filePath(QStringLiteral("lab-a.ini")),
                       QStringLiteral("--from"), QStringLiteral("2026-12-02"), log, QStringLiteral("-o"), out},
                      QStringLiteral("de_DE.UTF-8"));
    QVERIFY2(r.status == 0, qPrintable(r.err));
    const QList<QByteArray> lines = contents(out).split('\n');
    QCOMPARE(lines.first(), QByteArray("period_start,sensor,name,records,coverage_percent,min,min_time,max,max_time,"
                                       "mean,mkt,excursions,minutes_out_of_range\r"));
    QCOMPARE(lines.size(), 1 + 2 * 3 + 1); // two days of three sensors, then the last CR LF
    QVERIFY(lines.last().isEmpty());

    QMap<QString, QStringList> rows; // "day sensor" -> fields
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        QVERIFY2(lines[i].endsWith('\r'), lines[i].constData());
        const QStringList f = fields(QString::fromUtf8(lines[i].chopped(1)));
        QCOMPARE(f.size(), 13);
        rows.insert(f[0].left(10) + u' ' + f[1], f);
    }
    const QStringList freezer = rows.value(QStringLiteral("2026-12-02 1"));
    const QStringList vaccines = rows.value(QStringLiteral("2026-12-02 3"));
    QCOMPARE(freezer.value(2), QStringLiteral("Freezer 2, top"));
    QCOMPARE(freezer.value(0), QStringLiteral("2026-12-02T00:00:00%1").arg(isoOffset(at(1, 0))));
    QCOMPARE(freezer.value(5), QStringLiteral("-20.5"));
    QCOMPARE(freezer.value(11), QString()); // no limits: empty excursion fields
    QCOMPARE(freezer.value(12), QString());
    QCOMPARE(vaccines.mid(2, 4), QStringList({QStringLiteral("Vaccines"), QStringLiteral("1440"), QStringLiteral("100.00"),
                                              QStringLiteral("4.5")}));
    QCOMPARE(vaccines.value(7), QStringLiteral("9.5"));
    QCOMPARE(vaccines.value(8), QStringLiteral("2026-12-02T10:45:00%1").arg(isoOffset(at(1, 10, 45))));
    const double mkt = mktOf({{4.5, 675 / 1440.0}, {5.5, 675 / 1440.0}, {9.0, 89 / 1440.0}, {9.5, 1 / 1440.0}});
    QCOMPARE(vaccines.value(10), QString::number(mkt, 'f', 3));
    QCOMPARE(vaccines.value(11), QStringLiteral("1"));
    QCOMPARE(vaccines.value(12), QStringLiteral("90.00"));
    // The 3rd ends with the log's last record, a minute before midnight.
    QCOMPARE(rows.value(QStringLiteral("2026-12-03 2")).value(4), QString::number(100 * 86340 / 86400.0, 'f', 2));
}

void ReportCommandTest::badInput_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    const QString log = QStringLiteral("LOG");
    QTest::newRow("--from after --to") << QStringList{u"--report"_s, u"csv"_s, u"--from"_s, u"2026-12-03"_s, u"--to"_s, u"2026-12-01"_s, log}
                                       << u"--from 2026-12-03 is after --to 2026-12-01"_s;
    QTest::newRow("a month 13") << QStringList{u"--report"_s, u"csv"_s, u"--from"_s, u"2026-13-01"_s, log} << u"--from 2026-13-01 is no date"_s;
    QTest::newRow("a date in the locale's form") << QStringList{u"--report"_s, u"pdf"_s, u"--to"_s, u"02.12.2026"_s, log}
                                                 << u"--to 02.12.2026 is no date"_s;
    QTest::newRow("an unknown period") << QStringList{u"--report"_s, u"pdf"_s, u"--period"_s, u"year"_s, log} << u"unknown period \"year\""_s;
    QTest::newRow("an unknown format") << QStringList{u"--report"_s, u"html"_s, log} << u"unknown report format \"html\""_s;
    QTest::newRow("no such folder") << QStringList{u"--report"_s, u"pdf"_s, log, u"-o"_s, u"/nonexistent/report.pdf"_s}
                                    << u"/nonexistent/report.pdf: "_s;
    QTest::newRow("a folder") << QStringList{u"--report"_s, u"csv"_s, log, u"-o"_s, u"DIR"_s} << u"DIR: "_s;
    QTest::newRow("a bad site file") << QStringList{u"--report"_s, u"csv"_s, u"--site"_s, u"BADSITE"_s, log} << u"bad.ini:2: "_s;
    QTest::newRow("no log") << QStringList{u"--report"_s, u"csv"_s, u"DIR/missing.txt"_s} << u"missing.txt: No such file or directory"_s;
    // A device is written to, not replaced: a copy of /dev/full.
    QTest::newRow("a device that is full") << QStringList{u"--report"_s, u"csv"_s, log, u"-o"_s, u"DIR/full"_s}
                                          << u"DIR/full: No space left on device"_s;
    // A file system with room for the CSV but not for the PDF.
    QTest::newRow("a full disk") << QStringList{u"--report"_s, u"pdf"_s, log, u"-o"_s, u"FULL/report.pdf"_s}
                                 << u"FULL/report.pdf: No space left on device"_s;
}

void ReportCommandTest::badInput()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const QString log = writeLog(QLocale::c(), QStringLiteral("records-c.txt"));
    QTemporaryDir dir;
    QFile bad(dir.filePath(QStringLiteral("bad.ini")));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("[gateway]\nhots = 192.0.2.17\n");
    bad.close();
    // Each case also has an older report in place, which must stay as it was.
    const QString old = dir.filePath(QStringLiteral("report.pdf"));
    QFile previous(old);
    QVERIFY(previous.open(QIODevice::WriteOnly));
    previous.write("the report of last month");
    previous.close();

    const bool full = args.join(u' ').contains(QStringLiteral("FULL/"));
    QStringList command;
    for (QString a : std::as_const(args)) {
        a.replace(QStringLiteral("BADSITE"), bad.fileName()).replace(QStringLiteral("DIR"), dir.path());
        command << (a == u"LOG" ? log : a == u"FULL/report.pdf" ? dir.filePath(QStringLiteral("full/report.pdf")) : a);
    }
    message.replace(QStringLiteral("DIR"), dir.path()).replace(QStringLiteral("FULL"), dir.filePath(QStringLiteral("full")));
    const QString device = dir.filePath(QStringLiteral("full"));
    if (args.contains(u"DIR/full"_s)) {
        if (QProcess::execute(QStringLiteral("mknod"), {device, QStringLiteral("c"), QStringLiteral("1"), QStringLiteral("7")}) != 0)
            QSKIP("no device nodes here (mknod needs root)");
    }
    Run r;
    if (full) {
        // A small file system of its own, in a mount namespace of its own.
        if (QProcess::execute(QStringLiteral("unshare"), {QStringLiteral("-m"), QStringLiteral("true")}) != 0)
            QSKIP("no mount namespace here");
        const QString mount = dir.filePath(QStringLiteral("full"));
        QVERIFY(QDir().mkpath(mount));
        QStringList quoted;
        for (const QString &a : std::as_const(command))
            quoted << u'\'' + a + u'\'';
        const QString script = QStringLiteral("mount -t tmpfs -o size=64k tmpfs '%1' && printf old >'%1/report.pdf' && "
                                              "'%2' %3; status=$?; ls -A '%1' >&2; cat '%1/report.pdf' >&2; exit $status")
                                   .arg(mount, program, quoted.join(u' '));
        QProcess p;
        p.start(QStringLiteral("unshare"), {QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"), script});
        QVERIFY(p.waitForFinished(60000));
        r = {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError())};
        // Nothing but the old report is left, and it is whole.
        QVERIFY2(r.err.endsWith(QStringLiteral("\nreport.pdf\nold")), qPrintable(r.err));
    } else {
        r = run(command, QStringLiteral("C.UTF-8"));
    }
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(contents(old), QByteArray("the report of last month"));
    if (QFileInfo::exists(device))
        QVERIFY2(!QFileInfo(device).isFile(), "the device was replaced by a file");
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({QStringLiteral("bad.ini"), QStringLiteral("report.pdf")}));
}

QTEST_GUILESS_MAIN(ReportCommandTest)
#include "reportcommand_test.moc"
