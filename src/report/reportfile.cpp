#include "reportfile.h"

#include "report.h"
#include "reportpainter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QPdfWriter>
#include <QSaveFile>

#include <cstdio>

namespace kestrin {

namespace {

// A full disk first takes part of a write without a word; only the write
// after that says why.
bool writeAll(QIODevice &out, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = out.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

ReportFile::Digest ReportFile::digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const qint64 got = file.read(chunk.data(), std::min<qint64>(chunk.size(), size - done));
        if (got <= 0)
            return {};
        hash.addData(QByteArrayView(chunk.constData(), got));
        done += got;
    }
    return {hash.result().toHex(), done};
}

QByteArray ReportFile::pdf(const Report &report, const QLocale &locale, const QPageSize &paper)
{
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(paper);
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    writer.setResolution(600);
    writer.setCreator(QStringLiteral("kestrin-logview"));
    writer.setTitle(QCoreApplication::translate("Report", "Temperature record of %1").arg(report.source.fileName));
    ReportPainter(report, locale).paint(writer);
    return pdf;
}

std::optional<QString> ReportFile::save(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty() || path == u"-") {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || !writeAll(out, bytes) || !out.flush())
            return QStringLiteral("standard output: %1").arg(out.errorString());
        return std::nullopt;
    }
    // A device or a pipe is written to, never renamed over: a temporary file
    // moved onto /dev/full would replace the device itself.
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir()) {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || !writeAll(out, bytes) || !out.flush())
            return QStringLiteral("%1: %2").arg(path, out.errorString());
        out.close();
        if (out.error() != QFileDevice::NoError)
            return QStringLiteral("%1: %2").arg(path, out.errorString());
        return std::nullopt;
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return QStringLiteral("%1: %2").arg(path, out.errorString());
    if (!writeAll(out, bytes) || !out.flush()) {
        const QString reason = out.errorString();
        out.cancelWriting();
        out.commit();
        return QStringLiteral("%1: %2").arg(path, reason);
    }
    if (!out.commit())
        return QStringLiteral("%1: %2").arg(path, out.errorString());
    return std::nullopt;
}

} // namespace kestrin
