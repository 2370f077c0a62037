#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace kestrin {

// The one common dialog object the main window shares between its commands.
// Its properties persist from one use to the next, as the users of the old
// control expect: a title or file name set by one command is what the next
// use starts from.
class CommonDialog
{
public:
    enum class Outcome { Confirmed, Cancelled };

    virtual ~CommonDialog() = default;

    QString DialogTitle;
    QString Filter;   // "description|pattern|description|pattern..."
    QString FileName; // unchanged when the user cancels

    // Modal open-file dialog. Any name may be typed, also one that does not
    // exist yet. A cancel leaves FileName alone.
    Outcome ShowOpen(QWidget *owner);
    // Modal printer dialog; nothing the user picks there is read back.
    Outcome ShowPrinter(QWidget *owner);

    // "a|*.txt|b|*.*" as Qt name filters. "*.*" matches every file, also names
    // without a dot, as users of that pattern expect.
    static QStringList qtNameFilters(const QString &filter);

protected:
    // The platform dialogs themselves: the chosen path, or nullopt on cancel.
    virtual std::optional<QString> runOpenDialog(QWidget *owner, const QString &title,
                                                 const QStringList &nameFilters, const QString &fileName) = 0;
    // True when the user confirmed, false on cancel.
    virtual bool runPrinterDialog(QWidget *owner, const QString &title) = 0;
};

// The production dialogs: QFileDialog and QPrintDialog.
class QtCommonDialog final : public CommonDialog
{
protected:
    std::optional<QString> runOpenDialog(QWidget *owner, const QString &title, const QStringList &nameFilters,
                                         const QString &fileName) override;
    bool runPrinterDialog(QWidget *owner, const QString &title) override;
};

} // namespace kestrin
