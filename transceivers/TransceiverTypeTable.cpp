#include "transceivers/TransceiverTypeTable.h"

#include "transceivers/GEO.h"
#include "transceivers/HXU.h"
#include "transceivers/NVU.h"
#include "transceivers/QY42.h"
#include "transceivers/Transceiver.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/TransceiverRecords.h"

#include <algorithm>
#include <array>

namespace {

using M = SounderModel;

// Every type code the installation knows. The general-purpose unit runs
// only under the models of its market, the wide-band unit only under its
// own; the type without a maker is not built yet.
constexpr std::array kStandardRows = {
    TransceiverTypeRow{TransceiverType::HXU, {M::QY210, M::QY310}, &CHXU::Create},
    TransceiverTypeRow{TransceiverType::DRU, CModelSet::All(), nullptr},
    TransceiverTypeRow{TransceiverType::NVU, {M::QYNVU}, &CNVU::Create},
    TransceiverTypeRow{TransceiverType::QY42, CModelSet::All(), &CQY42::Create},
    TransceiverTypeRow{TransceiverType::GEO, CModelSet::All(), &CGEO::Create},
};

}  // namespace

CTransceiverTypeTable::CTransceiverTypeTable() : m_rows(kStandardRows.begin(), kStandardRows.end()) {}

const TransceiverTypeRow* CTransceiverTypeTable::Find(TransceiverType type) const
{
    const auto row = std::find_if(m_rows.begin(), m_rows.end(), [type](const auto& r) { return r.type == type; });
    return row == m_rows.end() ? nullptr : &*row;
}

bool CTransceiverTypeTable::Allows(TransceiverType type, SounderModel model) const
{
    const TransceiverTypeRow* row = Find(type);
    return row && row->models.Has(model);
}

std::optional<InstalledTransceiverInfo> TransceiverConstruction::UnitOfType(TransceiverType type) const
{
    if (index < 0)
        return std::nullopt;
    std::optional<InstalledTransceiverInfo> unit = installation.GetTransceiverInfo(index);
    if (!unit || unit->type != type)
        return std::nullopt;
    return unit;
}

std::vector<TransceiverChannelRecord> TransceiverConstruction::Channels(int count) const
{
    std::vector<TransceiverChannelRecord> channels;
    for (int i = 0; i < count; ++i)
        if (const auto channel = installation.GetTransceiverChannel(index, i))
            channels.push_back(*channel);
    return channels;
}

std::unique_ptr<CTransceiver> CTransceiverTypeTable::Create(const TransceiverConstruction& c) const
{
    const TransceiverTypeRow* row = Find(c.info.type);
    return row && row->create ? row->create(c) : nullptr;
}

void CTransceiverTypeTable::Register(const TransceiverTypeRow& row)
{
    for (TransceiverTypeRow& r : m_rows) {
        if (r.type == row.type) {
            r = row;
            return;
        }
    }
    m_rows.push_back(row);
}

const CTransceiverTypeTable& CTransceiverTypeTable::Standard()
{
    static const CTransceiverTypeTable table;
    return table;
}
