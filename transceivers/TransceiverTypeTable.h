// The transceiver types the program knows: one row per type code, with the
// models that may use it and how to make a unit of it. The echo sounder
// refuses a start with a unit its model may not use, and the program makes
// every other unit by its row; a type without a maker is refused as well.
// A new type is one class and one row here.
#pragma once

#include "base/ModelCodes.h"
#include "platform/Registry.h"
#include "transceivers/TransceiverRecords.h"

#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

class CTransceiver;
class CTransceiverInstallation;
class ITransceiverServices;
struct UnitTimings;

// What a unit is made from: its place in the installation and the
// installation's record of it, the registry key of the running sounder, the
// program's services and the waits of its driver.
struct TransceiverConstruction
{
    CTransceiverInstallation& installation;
    int index;
    const InstalledTransceiverInfo& info;
    HKEY key;
    ITransceiverServices& services;
    const UnitTimings& timings;

    // The installation's record of the unit when it is of the type the
    // maker makes; none for a place outside the installation or a unit of
    // another type.
    std::optional<InstalledTransceiverInfo> UnitOfType(TransceiverType type) const;
    // The installation's records of the unit's channels, in order, at most
    // count of them.
    std::vector<TransceiverChannelRecord> Channels(int count) const;
};

// The models a type may run under, one bit per model code.
class CModelSet
{
public:
    constexpr CModelSet(std::initializer_list<SounderModel> models)
    {
        for (SounderModel m : models)
            m_bits |= Bit(m);
    }
    static constexpr CModelSet All()
    {
        return {SounderModel::QY210, SounderModel::QY310, SounderModel::RM30,
                SounderModel::TQ30,  SounderModel::TOTAL, SounderModel::QYNVU};
    }
    constexpr bool Has(SounderModel model) const { return (m_bits & Bit(model)) != 0; }

private:
    static constexpr unsigned Bit(SounderModel m)
    {
        const auto code = static_cast<unsigned>(m);
        return code < 32 ? 1u << code : 0u;
    }
    unsigned m_bits = 0;
};

struct TransceiverTypeRow
{
    using Factory = std::unique_ptr<CTransceiver> (*)(const TransceiverConstruction&);

    TransceiverType type;
    CModelSet models;
    // Null: a type this program does not build; the start is refused.
    Factory create;
};

class CTransceiverTypeTable
{
public:
    // The types this program builds.
    CTransceiverTypeTable();

    // The row of a type, or null when the type has none.
    const TransceiverTypeRow* Find(TransceiverType type) const;
    // The model may use the type.
    bool Allows(TransceiverType type, SounderModel model) const;
    // A unit of the installed type of construction.info; null when the type
    // has no maker, or the maker could not make it.
    std::unique_ptr<CTransceiver> Create(const TransceiverConstruction& construction) const;

    // Adds a row, or replaces the row of its type.
    void Register(const TransceiverTypeRow& row);

    // The table a program has when it is given none.
    static const CTransceiverTypeTable& Standard();

private:
    std::vector<TransceiverTypeRow> m_rows;
};
