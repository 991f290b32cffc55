// "Transceiver Installation": every installed channel and every candidate
// the installation found, in the colour of its state; the transducer of
// each channel, a unit's new address, the transducer calibration tool and
// the GEO deck unit. OK writes the channels that have a transducer.
//
// The dialog works on the installation's channel list while it is open;
// every control handler runs Process with one of the actions below, the
// dialog's values taken from the controls before and shown after.
// Nothing is edited, and OK writes nothing, unless the installation allows
// changes (the modify mode, no echo sounder).
#pragma once

#include <QColor>
#include <QDialog>

#include <array>
#include <functional>
#include <string>

class CTransceiverInstallation;
class CTrList;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPainter;
class QPushButton;
class QSpinBox;
class QStyleOptionViewItem;

class CTransceiverInstallDlg : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kChannelListId = 1112;
    static constexpr int kTransducerId = 1115;
    static constexpr int kTransceiverId = 1149;
    static constexpr int kConsoleIpId = 1151;
    static constexpr int kNetworkIpId = 1153;
    static constexpr int kTransceiverIpId = 1154;
    static constexpr int kSetAddressId = 1208;
    static constexpr int kCalibrationId = 1316;
    static constexpr int kDeckUnitIpId = 1632;
    static constexpr int kEnableDeckUnitId = 1633;
    // A candidate whose unit answered is drawn in this colour of the
    // program's palette.
    static constexpr int kCandidateFoundPaletteIndex = 79;
    // The transducer calibration tool, a program of its own in the
    // program's folder. It is given the transceiver list file and the
    // transducer's name, and may change the transducer's block in the file.
    static constexpr const char* kCalibrationTool = "Pomerath.exe";

    enum Action {
        kShowSelected = 0,
        kFill = 1,
        kCommit = 2,
        kTakeTransducer = 3,
        kDrawLine = 4,
        kChangeAddress = 5,
        kCalibrate = 6,
        kDeckUnit = 7,
    };

    // The colour of a palette index as the program's current palette has it.
    using PaletteColour = std::function<QColor(int paletteIndex)>;

    CTransceiverInstallDlg(CTransceiverInstallation& installation, PaletteColour paletteColour,
                           QWidget* parent = nullptr);

    virtual void Process(int action, int argument);

    // The deck unit's address control as "a.b.c.d"; a text that is no
    // dotted address shows 0.0.0.0.
    std::string GetIpAddressText() const;
    void SetIpAddressText(const std::string& dotted);

    // Where the calibration tool lies; the program's folder unless set.
    void SetToolFolder(const std::string& folder) { m_toolFolder = folder; }

    // The text colour of the entry's line.
    QColor LineColour(const CTrList& entry) const;

    // OK: takes the chosen transducer, commits, and closes whatever the
    // commit did.
    void accept() override;

    // The owner draw of one line of the list.
    void DrawItem(QPainter* painter, const QStyleOptionViewItem& option, int item);

private:
    void UpdateData(bool save);
    void Fill();
    void ShowSelected();
    void TakeTransducer();
    void DrawLine(int item);
    void ChangeAddress();
    void Calibrate();
    void Commit();
    void StoreDeckUnit();
    CTrList* Selected() const;
    CTrList* EntryAt(int item) const;
    void RefreshLines();
    std::string TrListFilePath() const;

    CTransceiverInstallation& m_installation;
    PaletteColour m_paletteColour;
    std::string m_toolFolder;
    bool m_changesAllowed = false;

    // The values the controls exchange.
    QString m_consoleIp;
    QString m_networkIp;
    QString m_transceiverIp;
    bool m_enableDeckUnit = false;

    QListWidget* m_list = nullptr;
    QComboBox* m_transducer = nullptr;
    QLabel* m_consoleIpText = nullptr;
    QLabel* m_networkIpText = nullptr;
    QLabel* m_transceiverIpLabel = nullptr;
    QLabel* m_transceiverIpText = nullptr;
    QPushButton* m_setAddress = nullptr;
    QPushButton* m_calibration = nullptr;
    QCheckBox* m_deckUnit = nullptr;
    QWidget* m_deckUnitIp = nullptr;
    std::array<QSpinBox*, 4> m_deckUnitOctets{};

    // The line being drawn, while the list draws it.
    QPainter* m_drawPainter = nullptr;
    const QStyleOptionViewItem* m_drawOption = nullptr;
};
