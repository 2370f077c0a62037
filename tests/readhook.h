#pragma once

// A hook into the polling cycle of a real main window: each read puts its
// slot's URL into the address list just before it asks for the page.

#include "frmmain.h"

#include <QComboBox>

#include <functional>

namespace kestrin::testing {

inline QMetaObject::Connection onReadStarting(frmMain &window, std::function<void(int slot)> onRead)
{
    auto *box = window.findChild<QComboBox *>(QStringLiteral("cboAddress"));
    return QObject::connect(box->model(), &QAbstractItemModel::rowsInserted, &window,
                            [&window, box, onRead](const QModelIndex &, int first, int) {
                                const QString url = box->itemText(first);
                                for (qint16 slot = 0; slot < window.cycle().sensorCount(); ++slot) {
                                    if (window.cycle().table().url(slot) == url) {
                                        onRead(slot);
                                        return;
                                    }
                                }
                            });
}

} // namespace kestrin::testing
