#pragma once

#include <QString>

class QWidget;

namespace kestrin {

// Style bits a caller passes, with the values the native message box uses.
namespace mb {
inline constexpr int OK = 0x00;
inline constexpr int IconExclamation = 0x30;
inline constexpr int IconInformation = 0x40;
inline constexpr int IconMask = 0x70;
} // namespace mb

// The modal message box. An empty caption means the application title.
// Windows reach it through this interface so a test can answer it.
class MessageBoxService
{
public:
    virtual ~MessageBoxService() = default;
    // Shows the box modally over `owner` (may be null) and returns when it closes.
    virtual void MsgBox(QWidget *owner, const QString &prompt, int style, const QString &caption) = 0;
};

// The real box, a QMessageBox with an OK button alone.
class QtMessageBoxService final : public MessageBoxService
{
public:
    void MsgBox(QWidget *owner, const QString &prompt, int style, const QString &caption) override;
};

} // namespace kestrin
