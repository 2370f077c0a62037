// kestrin-site-gen: the build's reader of the site file. Writes the sensor
// table kestrin-3 is compiled with and the values the CMake files use; a site
// file with an error gets its file:line: message, and nothing is written.
//
//   kestrin-site-gen [--shown-as NAME] SITE_FILE OUTPUT_DIR

#include "sitereader.h"
#include "sitesources.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>

namespace {

void say(const QString &text)
{
    std::fputs(qPrintable(text + u'\n'), stderr);
}

// Rewritten only when it changes, so that an unchanged site rebuilds nothing.
bool writeIfChanged(const QString &path, const QByteArray &text)
{
    QFile old(path);
    if (old.open(QIODevice::ReadOnly) && old.readAll() == text)
        return true;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        say(QStringLiteral("kestrin-site-gen: cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QString shownAs;
    if (args.size() == 4 && args[0] == u"--shown-as") {
        shownAs = args[1];
        args = args.mid(2);
    }
    if (args.size() != 2) {
        say(QStringLiteral("usage: kestrin-site-gen [--shown-as NAME] SITE_FILE OUTPUT_DIR"));
        return 2;
    }

    const kestrin::SiteReader::Result result = kestrin::SiteReader::read(args[0], shownAs);
    if (const auto *error = std::get_if<kestrin::SiteError>(&result)) {
        say(error->text());
        return 1;
    }
    const kestrin::SiteFile &site = std::get<kestrin::SiteFile>(result);
    const QDir out(args[1]);
    if (!out.mkpath(QStringLiteral("."))) {
        say(QStringLiteral("kestrin-site-gen: cannot create %1").arg(args[1]));
        return 1;
    }
    const bool written = writeIfChanged(out.filePath(QStringLiteral("builtsite.cpp")), kestrin::SiteSources::builtSite(site))
        && writeIfChanged(out.filePath(QStringLiteral("site.cmake")), kestrin::SiteSources::cmakeValues(site));
    return written ? 0 : 1;
}
