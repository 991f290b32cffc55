#include "transceivers/ui/TransceiverInstallDlg.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/IPAddressDialog.h"
#include "platform/ChildProcess.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/Socket.h"
#include "transceivers/TransceiverInstallation.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kNone = "NONE";

// The list's lines are drawn by the dialog.
class CLineDelegate : public QStyledItemDelegate
{
public:
    CLineDelegate(CTransceiverInstallDlg& dialog) : QStyledItemDelegate(&dialog), m_dialog(dialog) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        m_dialog.DrawItem(painter, option, index.row());
    }

private:
    CTransceiverInstallDlg& m_dialog;
};

QLabel* Field(int id, QWidget* parent)
{
    auto* label = widgets::WithId(new QLabel(parent), id);
    label->setMinimumWidth(120);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// What the calibration tool may have changed: the transducer's constants.
void TakeTransducerValues(const CTrList& from, CTrList& to)
{
    to.gain = from.gain;
    to.frequency = from.frequency;
    to.twoWayBeamAngle = from.twoWayBeamAngle;
    to.txPower = from.txPower;
    to.angleSensitivityAlongship = from.angleSensitivityAlongship;
    to.angleSensitivityAthwartship = from.angleSensitivityAthwartship;
    to.offsetAlongship = from.offsetAlongship;
    to.offsetAthwartship = from.offsetAthwartship;
    to.beamWidthAlongship = from.beamWidthAlongship;
    to.beamWidthAthwartship = from.beamWidthAthwartship;
    to.beamType = from.beamType;
    to.transducerImpedance = from.transducerImpedance;
}

// Reads the transducer's block into the entry; false (the entry as it was)
// when the block is not there. Keys missing from the block leave the
// entry's values.
bool ReadTransducer(CTransceiverInstallation& installation, CTrList& entry)
{
    CTrList read = entry;
    if (!installation.TrListFile().ReadTransducerData(entry.transducerName, read))
        return false;
    TakeTransducerValues(read, entry);
    return true;
}

}  // namespace

CTransceiverInstallDlg::CTransceiverInstallDlg(CTransceiverInstallation& installation, PaletteColour paletteColour,
                                               QWidget* parent)
    : QDialog(parent),
      m_installation(installation),
      m_paletteColour(std::move(paletteColour)),
      m_toolFolder(CPaths::ProgramFolder())
{
    setObjectName("CTransceiverInstallDlg");
    setWindowTitle("Transceiver Installation");
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    layout->addLayout(top);

    auto* channels = new QGroupBox("Frequency Channel Selection", this);
    auto* channelsLayout = new QVBoxLayout(channels);
    m_list = widgets::WithId(new QListWidget(channels), kChannelListId);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setItemDelegate(new CLineDelegate(*this));
    m_list->setMinimumSize(420, 220);
    channelsLayout->addWidget(m_list);
    top->addWidget(channels, 1);

    auto* side = new QVBoxLayout;
    top->addLayout(side);
    auto* transducer = new QGroupBox("Transducer Selection", this);
    auto* transducerLayout = new QVBoxLayout(transducer);
    m_transducer = widgets::WithId(new QComboBox(transducer), kTransducerId);
    m_transducer->setMinimumWidth(160);
    transducerLayout->addWidget(m_transducer);
    side->addWidget(transducer);

    auto* addresses = new QGridLayout;
    addresses->addWidget(new QLabel("Console IP Address:", this), 0, 0);
    m_consoleIpText = Field(kConsoleIpId, this);
    addresses->addWidget(m_consoleIpText, 0, 1);
    addresses->addWidget(new QLabel("Network IP Address:", this), 1, 0);
    m_networkIpText = Field(kNetworkIpId, this);
    addresses->addWidget(m_networkIpText, 1, 1);
    addresses->addWidget(widgets::WithId(new QLabel("Transceiver:", this), kTransceiverId), 2, 0);
    m_transceiverIpLabel = new QLabel("Transceiver IP Address:", this);
    addresses->addWidget(m_transceiverIpLabel, 3, 0);
    m_transceiverIpText = Field(kTransceiverIpId, this);
    addresses->addWidget(m_transceiverIpText, 3, 1);
    side->addLayout(addresses);
    m_setAddress = widgets::WithId(new QPushButton("Set New HXU IP Address", this), kSetAddressId);
    side->addWidget(m_setAddress);
    m_calibration = widgets::WithId(new QPushButton("Set Calibration Param...", this), kCalibrationId);
    side->addWidget(m_calibration);

    auto* towFish = new QGroupBox("GEO tow fish", this);
    auto* towFishLayout = new QGridLayout(towFish);
    m_deckUnit = widgets::WithId(new QCheckBox("Enable deck unit", towFish), kEnableDeckUnitId);
    towFishLayout->addWidget(m_deckUnit, 0, 0, 1, 2);
    towFishLayout->addWidget(new QLabel("Deck unit IP adress", towFish), 1, 0);
    m_deckUnitIp = widgets::WithId(new QWidget(towFish), kDeckUnitIpId);
    auto* octets = new QHBoxLayout(m_deckUnitIp);
    octets->setContentsMargins(0, 0, 0, 0);
    for (std::size_t i = 0; i < m_deckUnitOctets.size(); ++i) {
        if (i > 0)
            octets->addWidget(new QLabel(".", m_deckUnitIp));
        m_deckUnitOctets[i] = new QSpinBox(m_deckUnitIp);
        m_deckUnitOctets[i]->setRange(0, 255);
        m_deckUnitOctets[i]->setButtonSymbols(QAbstractSpinBox::NoButtons);
        m_deckUnitOctets[i]->setObjectName(QString("octet_%1").arg(i));
        octets->addWidget(m_deckUnitOctets[i]);
    }
    towFishLayout->addWidget(m_deckUnitIp, 1, 1);
    side->addWidget(towFish);
    side->addStretch(1);

    layout->addWidget(widgets::StandardButtons(this, true));

    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] { Process(kShowSelected, m_list->currentRow()); });
    connect(m_transducer, &QComboBox::currentIndexChanged, this, [this](int i) { Process(kTakeTransducer, i); });
    connect(m_setAddress, &QPushButton::clicked, this, [this] { Process(kChangeAddress, 0); });
    connect(m_calibration, &QPushButton::clicked, this, [this] { Process(kCalibrate, 0); });
    connect(m_deckUnit, &QCheckBox::clicked, this, [this] { Process(kDeckUnit, 0); });

    // OnInitDialog: the calibration tool belongs to the TOTAL setting only,
    // and waits for a transducer.
    m_calibration->setVisible(m_installation.GetModel() == SounderModel::TOTAL);
    m_calibration->setEnabled(false);
    Process(kFill, 0);
}

void CTransceiverInstallDlg::Process(int action, int argument)
{
    // Drawing happens inside the list's paint and exchanges nothing.
    const bool exchange = action != kDrawLine;
    if (exchange)
        UpdateData(true);
    switch (action) {
    case kShowSelected:
        ShowSelected();
        break;
    case kFill:
        Fill();
        break;
    case kCommit:
        Commit();
        break;
    case kTakeTransducer:
        TakeTransducer();
        break;
    case kDrawLine:
        DrawLine(argument);
        break;
    case kChangeAddress:
        ChangeAddress();
        break;
    case kCalibrate:
        Calibrate();
        break;
    case kDeckUnit:
        StoreDeckUnit();
        break;
    default:
        break;
    }
    if (exchange)
        UpdateData(false);
}

void CTransceiverInstallDlg::UpdateData(bool save)
{
    if (save) {
        m_enableDeckUnit = m_deckUnit->isChecked();
        return;
    }
    m_deckUnit->setChecked(m_enableDeckUnit);
    m_consoleIpText->setText(m_consoleIp);
    m_networkIpText->setText(m_networkIp);
    m_transceiverIpText->setText(m_transceiverIp);
}

std::string CTransceiverInstallDlg::GetIpAddressText() const
{
    return std::to_string(m_deckUnitOctets[0]->value()) + "." + std::to_string(m_deckUnitOctets[1]->value()) + "." +
           std::to_string(m_deckUnitOctets[2]->value()) + "." + std::to_string(m_deckUnitOctets[3]->value());
}

void CTransceiverInstallDlg::SetIpAddressText(const std::string& dotted)
{
    std::uint32_t ip = 0;
    if (!SocketAddress::ParseIp(dotted, ip))
        ip = 0;
    for (std::size_t i = 0; i < m_deckUnitOctets.size(); ++i)
        m_deckUnitOctets[i]->setValue(static_cast<int>(ip >> (24 - 8 * i) & 0xFF));
}

CTrList* CTransceiverInstallDlg::EntryAt(int item) const
{
    QListWidgetItem* line = item >= 0 ? m_list->item(item) : nullptr;
    return line ? reinterpret_cast<CTrList*>(line->data(Qt::UserRole).value<quintptr>()) : nullptr;
}

CTrList* CTransceiverInstallDlg::Selected() const
{
    QListWidgetItem* line = m_list->currentItem();
    return line && line->isSelected() ? EntryAt(m_list->row(line)) : nullptr;
}

// ---------------------------------------------------------------------------
// Fill (action 1)

void CTransceiverInstallDlg::Fill()
{
    // The installation command read the list before and said so when it
    // is missing: no second box.
    CTrListFile& file = m_installation.TrListFile();
    if (!file.IsLoaded())
        m_installation.LoadTrListText(m_installation.GetTrListPath());
    m_changesAllowed = m_installation.ChangesAllowed();
    // The transducer choice waits for a selected channel.
    m_transducer->setEnabled(false);
    m_setAddress->setEnabled(m_changesAllowed);
    m_deckUnit->setEnabled(m_changesAllowed);
    m_deckUnitIp->setEnabled(m_changesAllowed);

    const QSignalBlocker blockList(m_list);
    const QSignalBlocker blockCombo(m_transducer);
    m_list->clear();
    m_transducer->clear();
    for (auto& entry : m_installation.ChannelList()) {
        if (!entry)
            continue;
        const bool blockByName = entry->type == TransceiverType::NVU || entry->type == TransceiverType::QY42 ||
                                 entry->type == TransceiverType::GEO;
        std::string key = blockByName ? entry->transducerSetting : entry->transceiverId;
        if (entry->type == TransceiverType::HXU)
            key = CTrListFile::HxuBlockKey(key);
        std::vector<std::string> choices{kNone};
        // A channel the file does not describe keeps the choices it was
        // built with, so that its chosen transducer stays chosen.
        if (file.ReadTransceiverData(key, entry->channelNo - 1, choices, entry->type) ||
            entry->transducerChoices.empty())
            entry->SetStringList(&choices);
        auto* line = new QListWidgetItem(QString::fromStdString(entry->description), m_list);
        line->setData(Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(entry.get())));
    }
    m_enableDeckUnit = m_installation.GetEnableDeckUnit() != 0;
    SetIpAddressText(m_installation.GetDeckUnitIp());
    m_networkIp = QString::fromStdString(m_installation.GetMaskedPcAddress());
}

// ---------------------------------------------------------------------------
// Show the selected entry (action 0)

void CTransceiverInstallDlg::ShowSelected()
{
    CTrList* entry = Selected();
    if (!entry)
        return;
    {
        const QSignalBlocker block(m_transducer);
        m_transducer->clear();
        for (const std::string& name : entry->transducerChoices)
            m_transducer->addItem(QString::fromStdString(name));
        // A name that is not among the choices leaves nothing selected,
        // and OK then keeps it.
        m_transducer->setCurrentIndex(m_transducer->findText(QString::fromStdString(entry->transducerName)));
    }
    m_transceiverIp = QString::fromStdString(SocketAddress::IpText(entry->unitAddress));
    m_consoleIp = QString::fromStdString(entry->localPcIp);
    // Only a unit on the network has an address to change; the ISA card has
    // none.
    const bool networkUnit = entry->type != TransceiverType::DRU;
    m_setAddress->setVisible(networkUnit);
    m_transceiverIpLabel->setVisible(networkUnit);
    m_transceiverIpText->setVisible(networkUnit);
    m_transducer->setEnabled(m_changesAllowed && entry->transceiverId != kNone);
    m_calibration->setEnabled(m_changesAllowed && entry->transducerName != kNone);
}

// ---------------------------------------------------------------------------
// Take the chosen transducer (action 3)

void CTransceiverInstallDlg::TakeTransducer()
{
    CTrList* entry = Selected();
    if (!entry || m_transducer->currentIndex() < 0)
        return;
    entry->transducerName = m_transducer->currentText().toStdString();
    if (entry->transducerName != kNone)
        ReadTransducer(m_installation, *entry);
    entry->FormatDescription(nullptr, entry->type);
    const int row = m_list->currentRow();
    {
        const QSignalBlocker block(m_list);
        m_list->item(row)->setText(QString::fromStdString(entry->description));
        m_list->setCurrentRow(row);
    }
    m_calibration->setEnabled(m_changesAllowed && entry->transducerName != kNone);
}

// ---------------------------------------------------------------------------
// Draw a line (action 4)

void CTransceiverInstallDlg::DrawItem(QPainter* painter, const QStyleOptionViewItem& option, int item)
{
    m_drawPainter = painter;
    m_drawOption = &option;
    Process(kDrawLine, item);
    m_drawPainter = nullptr;
    m_drawOption = nullptr;
}

QColor CTransceiverInstallDlg::LineColour(const CTrList& entry) const
{
    // The ISA card answers for its channels.
    const bool found = entry.type == TransceiverType::DRU ? m_installation.IsCardPresent() : entry.found != 0;
    if (entry.installed)
        return found ? QColor(42, 210, 126) : QColor(180, 60, 48);
    if (found)
        return m_paletteColour ? m_paletteColour(kCandidateFoundPaletteIndex) : m_list->palette().color(QPalette::Text);
    return m_list->palette().color(QPalette::Text);
}

void CTransceiverInstallDlg::DrawLine(int item)
{
    const CTrList* entry = EntryAt(item);
    if (item < 0 || !entry || !m_drawPainter || !m_drawOption)
        return;
    const QStyleOptionViewItem& option = *m_drawOption;
    QPainter& p = *m_drawPainter;
    p.save();
    // A pale selection, so that the line keeps the colour of its kind
    // readable.
    if (option.state & QStyle::State_Selected) {
        QColor selection = option.palette.color(QPalette::Highlight);
        selection.setAlpha(70);
        p.fillRect(option.rect, option.palette.base());
        p.fillRect(option.rect, selection);
    }
    // Plain pixels in the line's colour, as the list of the system draws.
    QFont font = option.font;
    font.setStyleStrategy(QFont::NoAntialias);
    p.setFont(font);
    p.setPen(LineColour(*entry));
    p.drawText(option.rect.adjusted(3, 0, -3, 0), Qt::AlignVCenter | Qt::AlignLeft,
               QString::fromStdString(entry->description));
    p.restore();
}

// ---------------------------------------------------------------------------
// A unit's new address (action 5)

void CTransceiverInstallDlg::ChangeAddress()
{
    CTrList* entry = Selected();
    if (!entry || !m_changesAllowed || entry->type == TransceiverType::DRU)
        return;
    app::CIPAddressDialog typed(this);
    const std::uint32_t a = entry->unitAddress;
    typed.SetOctets({static_cast<int>(a >> 24 & 0xFF), static_cast<int>(a >> 16 & 0xFF),
                     static_cast<int>(a >> 8 & 0xFF), static_cast<int>(a & 0xFF)});
    if (typed.exec() != QDialog::Accepted)
        return;
    const auto o = typed.Octets();
    const std::string text =
        std::to_string(o[0]) + "." + std::to_string(o[1]) + "." + std::to_string(o[2]) + "." + std::to_string(o[3]);
    if (text == SocketAddress::IpText(entry->unitAddress))
        return;
    m_installation.ChangeUnitAddress(*entry, text);
    // Every channel of the unit may have taken the address.
    RefreshLines();
    ShowSelected();
}

void CTransceiverInstallDlg::RefreshLines()
{
    for (int i = 0; i < m_list->count(); ++i)
        if (const CTrList* entry = EntryAt(i))
            m_list->item(i)->setText(QString::fromStdString(entry->description));
}

// ---------------------------------------------------------------------------
// The calibration tool (action 6)

std::string CTransceiverInstallDlg::TrListFilePath() const
{
    std::string path = m_installation.GetTrListPath();
    if (!path.empty() && (path.back() == '/' || path.back() == '\\'))
        path += "TrList.ini";
    return path;
}

void CTransceiverInstallDlg::Calibrate()
{
    CTrList* entry = Selected();
    if (!entry || !m_changesAllowed || entry->transducerName == kNone)
        return;
    const std::string tool = CPaths::Join(m_toolFolder, kCalibrationTool);
    if (::access(tool.c_str(), X_OK) != 0) {
        MessageBox(0, "Missing Pomerath.exe File!!", "", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // The tool runs directly, never through a shell, and the dialog waits
    // for it without freezing: it still draws, and takes no input.
    const std::vector<std::string> argv{tool, TrListFilePath(), entry->transducerName};
    setEnabled(false);
    QEventLoop wait;
    std::thread runner([&] {
        CChildProcess::Run(argv);
        QMetaObject::invokeMethod(&wait, &QEventLoop::quit, Qt::QueuedConnection);
    });
    wait.exec();
    runner.join();
    setEnabled(true);
    // The tool may have rewritten the transducer's block.
    m_installation.TrListFile().SetText({});
    m_installation.LoadTrListText(m_installation.GetTrListPath());
    ReadTransducer(m_installation, *entry);
}

// ---------------------------------------------------------------------------
// The deck unit (action 7) and the commit (action 2)

void CTransceiverInstallDlg::StoreDeckUnit()
{
    m_installation.SetDeckUnit(m_enableDeckUnit ? 1 : 0, GetIpAddressText());
}

void CTransceiverInstallDlg::Commit()
{
    // Looking at the installation, or with a sounder running, changes
    // nothing.
    if (!m_changesAllowed)
        return;
    // The commit drops the entries without a transducer, which the lines
    // point to.
    const QSignalBlocker block(m_list);
    m_list->clear();
    m_installation.CommitChannels(m_installation.ChannelList(), m_enableDeckUnit ? 1 : 0, GetIpAddressText());
}

void CTransceiverInstallDlg::accept()
{
    Process(kTakeTransducer, 0);
    Process(kCommit, 0);
    QDialog::accept();
}
