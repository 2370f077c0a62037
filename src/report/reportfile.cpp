#include "reportfile.h"

#include "outputfile.h"
#include "report.h"
#include "reportpainter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QPdfWriter>

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
    OutputFile out(path);
    if (auto error = out.open())
        return error;
    if (!writeAll(out.device(), bytes)) {
        const QString reason = QStringLiteral("%1: %2").arg(out.name(), out.device().errorString());
        out.discard();
        return reason;
    }
    return out.commit();
}

} // namespace kestrin
