#pragma once

#include "bridgeservices.h"

#include <QElapsedTimer>

namespace kestrin {

class SystemClock final : public Clock
{
public:
    SystemClock();

    qint64 utcSeconds() const override;
    double monotonicSeconds() const override;

private:
    QElapsedTimer m_started;
};

} // namespace kestrin
