#pragma once

#include "bridgeservices.h"

namespace kestrin {

// "kestrin-bridge: LINE" on stderr, one whole line per call.
class StderrLog final : public MessageLog
{
public:
    void write(const QString &line) override;
};

} // namespace kestrin
