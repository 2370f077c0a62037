#include "commondialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>

namespace kestrin {

CommonDialog::Outcome CommonDialog::ShowOpen(QWidget *owner)
{
    const std::optional<QString> picked = runOpenDialog(owner, DialogTitle, qtNameFilters(Filter), FileName);
    if (!picked)
        return Outcome::Cancelled;
    FileName = *picked;
    return Outcome::Confirmed;
}

CommonDialog::Outcome CommonDialog::ShowPrinter(QWidget *owner)
{
    return runPrinterDialog(owner, DialogTitle) ? Outcome::Confirmed : Outcome::Cancelled;
}

QStringList CommonDialog::qtNameFilters(const QString &filter)
{
    QStringList result;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        QStringList patterns = parts.at(i + 1).split(u';', Qt::SkipEmptyParts);
        for (QString &p : patterns) {
            p = p.trimmed();
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
        }
        result << description + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return result;
}

std::optional<QString> QtCommonDialog::runOpenDialog(QWidget *owner, const QString &title,
                                                     const QStringList &nameFilters, const QString &fileName)
{
    QFileDialog dialog(owner, title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile); // a log file that does not exist yet may be typed
    // The type list shows the program's own descriptions; the patterns after
    // them are Qt's spelling of the same thing.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (!nameFilters.isEmpty())
        dialog.setNameFilters(nameFilters);
    if (!fileName.isEmpty()) {
        const QFileInfo info(fileName);
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

bool QtCommonDialog::runPrinterDialog(QWidget *owner, const QString &title)
{
    QPrinter printer;
    QPrintDialog dialog(&printer, owner);
    if (!title.isEmpty())
        dialog.setWindowTitle(title);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace kestrin
