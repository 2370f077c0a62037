#include "reportoptionsdialog.h"

#include "localeformats.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>

#include <algorithm>

namespace kestrin {

ReportOptionsDialog::ReportOptionsDialog(QDate first, QDate last, const QLocale &locale, QWidget *parent)
    : QDialog(parent)
    , m_period(new QComboBox)
    , m_from(new QDateEdit)
    , m_to(new QDateEdit)
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel))
{
    setWindowTitle(tr("Report"));
    m_period->addItem(tr("Each day"), int(PeriodKind::Day));
    m_period->addItem(tr("Each week"), int(PeriodKind::Week));
    m_period->addItem(tr("Each month"), int(PeriodKind::Month));

    const QDate lastMonth = QDate(last.year(), last.month(), 1).addMonths(-1);
    const QDate lastMonthEnd = lastMonth.addMonths(1).addDays(-1);
    QDate from = first, to = last;
    if (first <= lastMonthEnd) {
        from = std::max(first, lastMonth);
        to = lastMonthEnd;
    }
    for (QDateEdit *edit : {m_from, m_to}) {
        edit->setLocale(locale);
        edit->setDisplayFormat(LocaleFormats::shortDateFourDigitYear(locale));
        edit->setCalendarPopup(true);
        edit->setDateRange(first, last);
        connect(edit, &QDateEdit::dateChanged, this, &ReportOptionsDialog::check);
    }
    m_from->setDate(from);
    m_to->setDate(to);

    auto *form = new QFormLayout(this);
    form->addRow(tr("&Figures for"), m_period);
    form->addRow(tr("&From"), m_from);
    form->addRow(tr("&To"), m_to);
    form->addRow(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    check();
}

void ReportOptionsDialog::check()
{
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(m_from->date() <= m_to->date());
}

PeriodKind ReportOptionsDialog::period() const
{
    return PeriodKind(m_period->currentData().toInt());
}

QDate ReportOptionsDialog::from() const
{
    return m_from->date();
}

QDate ReportOptionsDialog::to() const
{
    return m_to->date();
}

} // namespace kestrin
