#include "linelegend.h"

#include "logchartview.h"

#include <QCheckBox>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

namespace kestrin {

namespace {

// A square of the line's colour, framed in the text's colour so that it
// shows on any background.
QIcon swatch(const QColor &colour, const QColor &frame, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(colour);
    QPainter painter(&pixmap);
    painter.setPen(frame);
    painter.drawRect(0, 0, size - 1, size - 1);
    return QIcon(pixmap);
}

} // namespace

LineLegend::LineLegend(LogChartView *chart, QWidget *parent)
    : QWidget(parent)
    , m_chart(chart)
    , m_layout(new QVBoxLayout(this))
{
    setAccessibleName(tr("Legend"));
    m_layout->addStretch(1);
    connect(chart, &LogChartView::linesChanged, this, &LineLegend::rebuild);
    connect(chart, &LogChartView::lineShownChanged, this, [this](int sensor, bool shown) {
        if (sensor < entries())
            m_boxes[std::size_t(sensor)]->setChecked(shown);
    });
    rebuild();
}

void LineLegend::rebuild()
{
    const int lines = m_chart->lineCount();
    while (entries() > lines) {
        delete m_boxes.back();
        m_boxes.pop_back();
    }
    while (entries() < lines) {
        const int sensor = entries();
        auto *box = new QCheckBox(this);
        m_layout->insertWidget(sensor, box);
        // At once, not when the layout gets round to it: Tab and a screen
        // reader find the entry as soon as the line is drawn.
        box->show();
        connect(box, &QCheckBox::toggled, m_chart, [this, sensor](bool on) { m_chart->setLineShown(sensor, on); });
        m_boxes.push_back(box);
    }
    const QColor frame = palette().color(QPalette::WindowText);
    const int size = fontMetrics().height() * 3 / 4;
    QWidget *before = m_chart;
    for (int s = 0; s < lines; ++s) {
        QCheckBox *box = m_boxes[std::size_t(s)];
        // The site's names are a user's text: an "&" in them is no access key.
        QString text = m_chart->sensorName(s);
        box->setText(text.replace(u'&', QStringLiteral("&&")));
        box->setIcon(swatch(m_chart->lineColour(s), frame, size));
        box->setChecked(m_chart->isLineShown(s));
        QWidget::setTabOrder(before, box);
        before = box;
    }
}

} // namespace kestrin
