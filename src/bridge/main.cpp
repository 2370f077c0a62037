// kestrin-bridge: follows the log that kestrin-3 writes and takes each new
// record to where people look: alarms (stderr, a desktop notification, a
// command), a Prometheus endpoint, and an MQTT broker with Home Assistant
// discovery. The log file is the only interface to the logger.
//
// Threads: the log is read on one, /metrics is served on another, the
// broker is talked to on a third; the alarms and the state live on the main
// thread, which hands immutable snapshots to the other two.

#include "alarmannouncer.h"
#include "alarmcommand.h"
#include "bridge.h"
#include "bridgestatus.h"
#include "desktopnotifications.h"
#include "logfollower.h"
#include "metricsserver.h"
#include "mqttmessages.h"
#include "mqttpublisher.h"
#include "passwordfile.h"
#include "sitelocator.h"
#include "sitereader.h"
#include "stderrlog.h"
#include "systemclock.h"
#include "terminationwatcher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QHostInfo>
#include <QProcessEnvironment>
#include <QSysInfo>
#include <QThread>
#include <QTimer>

#include <mosquitto.h>

#include <cstdio>
#include <optional>

namespace {

constexpr int UsageError = 2;

void printErr(const QString &text)
{
    std::fputs(qPrintable(QStringLiteral("kestrin-bridge: ") + text + u'\n'), stderr);
}

struct Loaded
{
    std::optional<kestrin::BridgeSettings> settings;
    QString error;
};

// The site file named with --site, else the one the XDG rules find, else
// the built-in sensors.
Loaded loadSettings(const QString &sitePath)
{
    const std::optional<QString> path = kestrin::SiteLocator::find(sitePath, QProcessEnvironment::systemEnvironment());
    if (!path)
        return {kestrin::BridgeSettings::builtIn(), {}};
    const kestrin::SiteReader::Result read = kestrin::SiteReader::read(*path);
    if (const auto *error = std::get_if<kestrin::SiteError>(&read))
        return {std::nullopt, error->text()};
    return {kestrin::BridgeSettings::fromSite(std::get<kestrin::SiteFile>(read)), {}};
}

std::optional<QHostAddress> listenAddress(const QString &host)
{
    QHostAddress address;
    if (address.setAddress(host))
        return address;
    const QList<QHostAddress> found = QHostInfo::fromName(host).addresses();
    if (found.isEmpty())
        return std::nullopt;
    return found.first();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Kestrin-3"));
    QCoreApplication::setApplicationName(QStringLiteral("kestrin-bridge"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTRIN_VERSION));
    const QString version = QStringLiteral(KESTRIN_VERSION);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Follows a Kestrin-3 log and takes every new record to where people look:\n"
                       "alarms, a Prometheus endpoint, and an MQTT broker with Home Assistant discovery.\n"
                       "Its settings are the [bridge] and sensor sections of the site file."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption site(QStringLiteral("site"),
                                  QStringLiteral("The site file (default: Kestrin-3/site.ini in $XDG_CONFIG_HOME, "
                                                 "then in $XDG_CONFIG_DIRS)."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption locale(QStringLiteral("locale"),
                                    QStringLiteral("The locale the log was written under (default: this one's), e.g. de_DE."),
                                    QStringLiteral("NAME"));
    parser.addOptions({site, locale});
    parser.addPositionalArgument(QStringLiteral("LOG"), QStringLiteral("The log that kestrin-3 writes."));
    if (!parser.parse(QCoreApplication::arguments())) {
        printErr(QStringLiteral("%1\nTry kestrin-bridge --help.").arg(parser.errorText()));
        return UsageError;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("kestrin-bridge %s\n", KESTRIN_VERSION);
        return 0;
    }
    if (parser.positionalArguments().size() != 1) {
        printErr(QStringLiteral("give one LOG\nTry kestrin-bridge --help."));
        return UsageError;
    }
    const QString logPath = parser.positionalArguments().first();
    QLocale readLocale = QLocale::system();
    if (parser.isSet(locale)) {
        readLocale = QLocale(parser.value(locale));
        if (readLocale == QLocale::c() && !parser.value(locale).startsWith(u'C')) {
            printErr(QStringLiteral("unknown locale %1").arg(parser.value(locale)));
            return UsageError;
        }
    }

    const Loaded loaded = loadSettings(parser.value(site));
    if (!loaded.settings) {
        std::fputs(qPrintable(loaded.error + u'\n'), stderr);
        return UsageError;
    }
    const kestrin::BridgeSettings &settings = *loaded.settings;

    std::optional<QByteArray> password;
    if (settings.mqtt && !settings.passwordFile.isEmpty()) {
        const kestrin::PasswordFile file = kestrin::PasswordFile::read(settings.passwordFile);
        if (!file.password) {
            printErr(file.error);
            return UsageError;
        }
        password = file.password;
    }
    if (settings.mqtt && settings.mqtt->tls && !settings.caFile.isEmpty()) {
        QFile ca(settings.caFile);
        if (!ca.open(QIODevice::ReadOnly)) {
            printErr(QStringLiteral("%1: %2").arg(settings.caFile, ca.errorString()));
            return UsageError;
        }
    }

    kestrin::StderrLog log;
    kestrin::SystemClock clock;
    kestrin::DesktopNotifications notifier;
    kestrin::AlarmCommand command(log);
    kestrin::AlarmAnnouncer announcer(settings, log, notifier, command);
    kestrin::BridgeStatus status;

    // /metrics first: a port in use ends the start before anything else runs.
    QThread httpThread;
    httpThread.setObjectName(QStringLiteral("metrics"));
    if (settings.listen) {
        const std::optional<QHostAddress> address = listenAddress(settings.listen->host);
        if (!address) {
            printErr(QStringLiteral("cannot listen on %1: the host name does not resolve").arg(settings.listen->text()));
            return UsageError;
        }
        auto *server = new kestrin::MetricsServer(status, version);
        server->moveToThread(&httpThread);
        QObject::connect(&httpThread, &QThread::finished, server, &QObject::deleteLater);
        httpThread.start();
        std::optional<QString> error;
        QMetaObject::invokeMethod(
            server, [&] { error = server->open(*address, settings.listen->port); }, Qt::BlockingQueuedConnection);
        if (error) {
            printErr(QStringLiteral("cannot listen on %1: %2").arg(settings.listen->text(), *error));
            httpThread.quit();
            httpThread.wait();
            return UsageError;
        }
        log.write(QStringLiteral("serving /metrics on http://%1/metrics").arg(settings.listen->text()));
    }

    mosquitto_lib_init();
    QThread mqttThread;
    mqttThread.setObjectName(QStringLiteral("mqtt"));
    kestrin::MqttPublisher *publisher = nullptr;
    if (settings.mqtt) {
        kestrin::MqttPublisher::Options options;
        options.broker = *settings.mqtt;
        options.caFile = settings.caFile;
        options.username = settings.username;
        options.password = password;
        options.clientId = QStringLiteral("kestrin-bridge-%1").arg(settings.site);
        publisher = new kestrin::MqttPublisher(options, kestrin::MqttMessages(settings, version), status, log);
        publisher->moveToThread(&mqttThread);
        QObject::connect(&mqttThread, &QThread::finished, publisher, &QObject::deleteLater);
        mqttThread.start();
        QMetaObject::invokeMethod(publisher, &kestrin::MqttPublisher::start);
    }

    kestrin::Bridge bridge(settings, logPath, status, clock, log, announcer);
    if (publisher)
        QObject::connect(&bridge, &kestrin::Bridge::changed, publisher, &kestrin::MqttPublisher::publish);

    QThread followThread;
    followThread.setObjectName(QStringLiteral("log"));
    auto *follower = new kestrin::LogFollower(logPath, readLocale);
    follower->moveToThread(&followThread);
    QObject::connect(&followThread, &QThread::finished, follower, &QObject::deleteLater);
    QObject::connect(follower, &kestrin::LogFollower::batchRead, &bridge, &kestrin::Bridge::take);
    QObject::connect(follower, &kestrin::LogFollower::caughtUp, &bridge, &kestrin::Bridge::caughtUp);
    QObject::connect(follower, &kestrin::LogFollower::restarted, &bridge, &kestrin::Bridge::restarted);
    QObject::connect(follower, &kestrin::LogFollower::moreSkipped, &bridge, &kestrin::Bridge::moreSkipped);
    QObject::connect(follower, &kestrin::LogFollower::failed, &bridge, &kestrin::Bridge::failed);
    followThread.start();
    QMetaObject::invokeMethod(follower, &kestrin::LogFollower::start);

    // Ended by a signal: say offline to the broker, then go.
    kestrin::TerminationWatcher watcher;
    QObject::connect(&watcher, &kestrin::TerminationWatcher::terminationRequested, &app, [&] {
        QMetaObject::invokeMethod(follower, &kestrin::LogFollower::stop, Qt::BlockingQueuedConnection);
        if (!publisher) {
            QCoreApplication::quit();
            return;
        }
        QObject::connect(publisher, &kestrin::MqttPublisher::stopped, &app, &QCoreApplication::quit);
        QMetaObject::invokeMethod(publisher, &kestrin::MqttPublisher::stop);
        QTimer::singleShot(3000, &app, &QCoreApplication::quit);
    });

    const int code = QCoreApplication::exec();
    for (QThread *thread : {&followThread, &mqttThread, &httpThread}) {
        thread->quit();
        thread->wait();
    }
    mosquitto_lib_cleanup();
    return code;
}
