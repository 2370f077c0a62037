#pragma once

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QStringList>

namespace kestrin {

// The image list `imlToolbarIcons`: the toolbar's 13 pictures, 16 x 16 in the
// classic 16-colour palette, looked up by key. The pictures are kept as XPM
// source with silver (192, 192, 192) written as an ordinary colour; silver is
// the list's transparent colour, so it is masked out when the list is built.
class ToolbarIcons final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToolbarIcons)

public:
    explicit ToolbarIcons(QObject *parent = nullptr);

    // Keys in list order.
    QStringList keys() const;
    // Null icon / null pixmap for a key the list does not hold (keys are case-sensitive).
    QIcon icon(const QString &key) const;
    QPixmap pixmap(const QString &key) const;

    // The window's icon, a 32 x 32 thermometer on a bus line, same palette and transparency.
    static QIcon applicationIcon();
    static QPixmap applicationPixmap();

    // The colour that becomes transparent.
    static constexpr QRgb transparentColour = 0xFFC0C0C0;

private:
    QStringList m_keys;
    QHash<QString, QPixmap> m_pixmaps;
};

} // namespace kestrin
