// The small modal dialog shown while the program waits for a network
// transceiver to answer: a text line and a bar that sweeps back and forth.
// The waiting object ends it from any thread with SetDone; the operator can
// give up with Cancel.
//
// The sweep runs on a timer of the dialog's own thread, which also looks at
// the done flag, so no other thread ever touches the window. A SetDone that
// comes before the dialog opens is kept and ends the dialog as it opens.
#pragma once

#include <QDialog>

#include <atomic>
#include <functional>
#include <string>

class QLineEdit;
class QProgressBar;
class QTimer;

class CSearchNVU : public QDialog
{
    Q_OBJECT
public:
    static constexpr int IDD = 278;
    static constexpr int IDC_PROGRESS = 1558;
    static constexpr int IDC_TEXT = 1559;
    static constexpr int kTop = 50;
    static constexpr int kStepMs = 20;

    explicit CSearchNVU(QWidget* parent = nullptr);
    ~CSearchNVU() override;

    void SetMessageText(const std::string& text) { m_messageText = text; }
    // Also ends the dialog when this reports true (polled with the sweep).
    void SetDoneCheck(std::function<bool()> done) { m_doneCheck = std::move(done); }
    // From any thread.
    void SetDone();

    // Shows the dialog modally: Accepted when the unit answered, Rejected
    // when the operator gave up.
    int exec() override;
    bool IsCancelled() const { return m_cancelled; }
    bool IsAnimating() const { return m_running; }

    // One step of the sweep: position and direction after pos.
    static int NextPosition(int pos, bool& rising);

    // The wait of a network transceiver, for the user-interface thread.
    static bool RunWait(const std::string& text, const std::function<bool()>& done, QWidget* parent = nullptr);

public Q_SLOTS:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Step();
    bool IsDone() const;

    std::string m_messageText;
    std::function<bool()> m_doneCheck;
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_stop{false};
    bool m_cancelled = false;
    bool m_running = false;
    bool m_rising = true;
    int m_position = 0;
    QProgressBar* m_progress = nullptr;
    QLineEdit* m_text = nullptr;
    QTimer* m_timer = nullptr;
};
