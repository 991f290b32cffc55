// "Lobe Interface" (dialog 215): the lines the lobe link receives while it
// is open, with "Clear", the echo-trace switch of the group "Telegram
// output" and the line's port settings ("RS232...").
#pragma once

#include "outputs/Lobe.h"

#include <QDialog>

#include <cstdint>

class QCheckBox;
class QPlainTextEdit;
class QTimer;

namespace outputsui {

class CLobeDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 215;
    // Lines of the monitor kept in sight.
    static constexpr int kVisibleLines = 8;

    explicit CLobeDialog(CLobe& lobe, QWidget* parent = nullptr);
    ~CLobeDialog() override;

    // Shows what the link holds now, its monitor and echo-trace switch
    // (the dialog does it on its own while open).
    void Refresh();
    QPlainTextEdit* Monitor() const { return m_monitor; }

    // Runs the dialog modally; the monitor fills only meanwhile.
    static void Run(CLobe& lobe, QWidget* parent);

private:
    CLobe& m_lobe;
    QPlainTextEdit* m_monitor = nullptr;
    QCheckBox* m_echoTrace = nullptr;
    QTimer* m_refresh = nullptr;
    std::uint64_t m_shown = ~std::uint64_t{0};
};

}  // namespace outputsui
