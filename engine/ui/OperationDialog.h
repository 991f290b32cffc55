// "Operation" (dialog 149; 261 "Operation Dialog" for QY310 and QYNVU, with
// the rate buttons "Multi Pulse" and "Pinger Mode"): normal operation or
// replay with its files, the ping rate, trigger, sequences, history saving,
// HBX and the simple pinger. It edits a copy of the values; operation
// control applies them after OK.
#pragma once

#include "engine/OperationDialogValues.h"

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
namespace app {
class CSpinButtonDoubleCtrl;
}

// What the dialog reaches of the program while it is up.
class IOperationDialogLinks
{
public:
    virtual ~IOperationDialogLinks() = default;
    // "Files...": the file dialog for recorded files with its options, which
    // come in as presets and go out as chosen; true on OK, with the paths.
    virtual bool ChooseReplayFiles(QWidget* parent, int& loop, int& saveData, int& changeInstallation, int& changeSvp,
                                   std::vector<std::string>& files) = 0;
    // Whether the running sounder's recorder records, asked at that moment.
    virtual bool IsRecording() = 0;
    // The history folder ("Browse...").
    virtual std::string GetHistoryPath() = 0;
    virtual void SetHistoryPath(const std::string& path) = 0;
    // The rate kept while "HBX" or "Simple Pinger" rules the pacing.
    virtual void RememberRate(int rate) = 0;
    virtual int RememberedRate() = 0;
};

class COperationDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 149;
    static constexpr int kTemplateWithPinger = 261;

    COperationDialog(const SOperationDialogValues& values, IOperationDialogLinks& links, QWidget* parent = nullptr);

    // The edited values; valid after OK.
    const SOperationDialogValues& Values() const { return m_values; }
    void accept() override;

    // The dialog's commands, as its buttons run them.
    void OnFiles();
    void OnBrowse();
    void OnSettings();

private:
    bool HasPingerButtons() const;
    int Mode() const;
    void SetMode(int mode);
    int Rate() const;
    void OnHbxOrSimplePinger(QCheckBox* box);
    // Enables what the mode, the files and the two pacing switches allow.
    void UpdateControls();

    SOperationDialogValues m_values;
    IOperationDialogLinks& m_links;
    std::vector<QRadioButton*> m_mode;
    std::vector<QRadioButton*> m_rate;  // in enumSpeed order; the pinger template adds 3 and 4
    QLineEdit* m_interval = nullptr;
    app::CSpinButtonDoubleCtrl* m_spin = nullptr;
    QWidget* m_intervalUnit = nullptr;
    QCheckBox* m_externalTrigger = nullptr;
    QCheckBox* m_history = nullptr;
    QCheckBox* m_synchronise = nullptr;
    QCheckBox* m_sequence = nullptr;
    QCheckBox* m_hbx = nullptr;
    QCheckBox* m_simplePinger = nullptr;
    QPushButton* m_ok = nullptr;
};
