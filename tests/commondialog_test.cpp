// The shared common dialog: the filter text as Qt name filters, and the
// properties it keeps from one use to the next.

#include "commondialog.h"

#include <QComboBox>
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QTest>

using namespace kestrin;

namespace {

// Answers the platform dialogs from a script and notes what it was given.
class ScriptDialog final : public CommonDialog
{
public:
    std::optional<QString> openAnswer;
    bool printerAnswer = false;
    QString seenTitle;
    QStringList seenFilters;
    QString seenFileName;

protected:
    std::optional<QString> runOpenDialog(QWidget *, const QString &title, const QStringList &filters,
                                         const QString &fileName) override
    {
        seenTitle = title;
        seenFilters = filters;
        seenFileName = fileName;
        return openAnswer;
    }
    bool runPrinterDialog(QWidget *, const QString &title) override
    {
        seenTitle = title;
        return printerAnswer;
    }
};

} // namespace

class CommonDialogTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nameFilters_data();
    void nameFilters();
    void showOpen_data();
    void showOpen();
    void showPrinter_data();
    void showPrinter();
    void typeListShowsTheDescriptionsAsGiven_data();
    void typeListShowsTheDescriptionsAsGiven();
};

void CommonDialogTest::nameFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("File > Open") << QStringLiteral("All Files (*.*)|*.*")
                                 << QStringList{QStringLiteral("All Files (*.*) (*)")};
    QTest::newRow("Start Logging, spaces trimmed") << QStringLiteral("all Files | *.*")
                                                   << QStringList{QStringLiteral("all Files (*)")};
    QTest::newRow("plain pattern kept") << QStringLiteral("Text (*.txt)|*.txt")
                                        << QStringList{QStringLiteral("Text (*.txt) (*.txt)")};
    QTest::newRow("several entries")
        << QStringLiteral("Logs|*.txt;*.log|All|*.*")
        << QStringList{QStringLiteral("Logs (*.txt *.log)"), QStringLiteral("All (*)")};
    QTest::newRow("*.* inside a list") << QStringLiteral("Any| *.csv ; *.* ")
                                       << QStringList{QStringLiteral("Any (*.csv *)")};
    QTest::newRow("only exact *.* widened") << QStringLiteral("Logs|log*.*;*.*x")
                                            << QStringList{QStringLiteral("Logs (log*.* *.*x)")};
    QTest::newRow("description without pattern dropped")
        << QStringLiteral("A|*.a|B") << QStringList{QStringLiteral("A (*.a)")};
    QTest::newRow("no bar at all") << QStringLiteral("All Files") << QStringList{};
    QTest::newRow("empty") << QString() << QStringList{};
}

void CommonDialogTest::nameFilters()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(QtCommonDialog::qtNameFilters(filter), expected);
}

void CommonDialogTest::showOpen_data()
{
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("nameAfter");

    QTest::newRow("picked") << std::optional<QString>(QStringLiteral("/tmp/new.txt"))
                            << int(CommonDialog::Outcome::Confirmed) << QStringLiteral("/tmp/new.txt");
    QTest::newRow("cancelled keeps the name") << std::optional<QString>()
                                              << int(CommonDialog::Outcome::Cancelled) << QStringLiteral("old.txt");
}

void CommonDialogTest::showOpen()
{
    QFETCH(std::optional<QString>, answer);
    QFETCH(int, outcome);
    QFETCH(QString, nameAfter);

    ScriptDialog dialog;
    dialog.DialogTitle = QStringLiteral("Open");
    dialog.Filter = QStringLiteral("All Files (*.*)|*.*");
    dialog.FileName = QStringLiteral("old.txt");
    dialog.openAnswer = answer;
    QCOMPARE(int(dialog.ShowOpen(nullptr)), outcome);
    QCOMPARE(dialog.seenTitle, QStringLiteral("Open"));
    QCOMPARE(dialog.seenFilters, QStringList{QStringLiteral("All Files (*.*) (*)")});
    QCOMPARE(dialog.seenFileName, QStringLiteral("old.txt"));
    QCOMPARE(dialog.FileName, nameAfter);

    // The next use starts from what this one left.
    dialog.openAnswer.reset();
    dialog.ShowOpen(nullptr);
    QCOMPARE(dialog.seenFileName, nameAfter);
    QCOMPARE(dialog.seenTitle, QStringLiteral("Open"));
}

void CommonDialogTest::showPrinter_data()
{
    QTest::addColumn<bool>("confirms");
    QTest::addColumn<int>("outcome");

    QTest::newRow("confirmed") << true << int(CommonDialog::Outcome::Confirmed);
    QTest::newRow("cancelled") << false << int(CommonDialog::Outcome::Cancelled);
}

void CommonDialogTest::showPrinter()
{
    QFETCH(bool, confirms);
    QFETCH(int, outcome);

    ScriptDialog dialog;
    dialog.DialogTitle = QStringLiteral("Page Setup");
    dialog.FileName = QStringLiteral("kept.txt");
    dialog.printerAnswer = confirms;
    QCOMPARE(int(dialog.ShowPrinter(nullptr)), outcome);
    QCOMPARE(dialog.seenTitle, QStringLiteral("Page Setup"));
    QCOMPARE(dialog.FileName, QStringLiteral("kept.txt"));
}

void CommonDialogTest::typeListShowsTheDescriptionsAsGiven_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("shown");
    QTest::newRow("Start Logging") << QStringLiteral("all Files | *.*") << QStringLiteral("all Files");
    QTest::newRow("File > Open") << QStringLiteral("All Files (*.*)|*.*") << QStringLiteral("All Files (*.*)");
}

// The real file dialog: its type list shows the program's descriptions, not
// Qt's "(*)" pattern after them, and still lists every file.
void CommonDialogTest::typeListShowsTheDescriptionsAsGiven()
{
    QFETCH(QString, filter);
    QFETCH(QString, shown);
    QtCommonDialog dialog;
    dialog.Filter = filter;
    QStringList seen;
    QTimer::singleShot(0, this, [&] {
        QWidget *box = QApplication::activeModalWidget();
        if (auto *types = box ? box->findChild<QComboBox *>(QStringLiteral("fileTypeCombo")) : nullptr)
            for (int i = 0; i < types->count(); ++i)
                seen << types->itemText(i);
        if (auto *d = qobject_cast<QDialog *>(box))
            d->reject();
    });
    QWidget owner;
    dialog.ShowOpen(&owner);
    QCOMPARE(seen, QStringList{shown});
}

QTEST_MAIN(CommonDialogTest)
#include "commondialog_test.moc"
