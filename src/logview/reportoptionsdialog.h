#pragma once

#include "periodsplitter.h"

#include <QDate>
#include <QDialog>

class QComboBox;
class QDateEdit;
class QDialogButtonBox;

namespace kestrin {

// What a report covers: its periods, and its first and last day. It starts
// on last month when the log has it, the record most people file.
class ReportOptionsDialog final : public QDialog
{
    Q_OBJECT

public:
    // `first` and `last`: the log's first and last local dates.
    ReportOptionsDialog(QDate first, QDate last, const QLocale &locale, QWidget *parent = nullptr);

    PeriodKind period() const;
    QDate from() const;
    QDate to() const;

private:
    void check();

    QComboBox *m_period;
    QDateEdit *m_from, *m_to;
    QDialogButtonBox *m_buttons;
};

} // namespace kestrin
