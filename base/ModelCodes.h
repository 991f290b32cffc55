// The sounder model the program runs as and the type of a transceiver: the
// two codes every subsystem reads. Their numbers are kept in settings, in the
// installation's records and in recorded files, so they never change.
#pragma once

// Fixed at start-up from the executable's name or the SounderName setting.
enum class SounderModel : int { QY210 = 0, QY310 = 1, RM30 = 2, TQ30 = 3, TOTAL = 4, QYNVU = 5 };

// The models whose outputs and menus are the QY family's.
constexpr bool IsQYModel(SounderModel model)
{
    return model == SounderModel::QY210 || model == SounderModel::QY310 || model == SounderModel::QYNVU;
}

// The market a model is sold to, as the units and the ISA card carry it:
// 0 fishery, 1 hydrography, 2 science; -1 for TOTAL, which takes any.
constexpr int MarketSegment(SounderModel model)
{
    switch (model) {
    case SounderModel::QY210:
    case SounderModel::QY310:
    case SounderModel::QYNVU:
        return 1;
    case SounderModel::RM30:
        return 0;
    case SounderModel::TQ30:
        return 2;
    default:
        return -1;
    }
}

// The mark of a model's market in a unit's identity ("-H"); empty for TOTAL.
constexpr const char* MarketSegmentMark(SounderModel model)
{
    switch (MarketSegment(model)) {
    case 0:
        return "-F";
    case 1:
        return "-H";
    case 2:
        return "-S";
    default:
        return "";
    }
}

// An installed transceiver's type (the installation's "TransceiverType").
// A transceiver without a type of its own, such as replay, answers HXU (0).
enum class TransceiverType : int { HXU = 0, DRU = 1, NVU = 2, QY42 = 3, GEO = 4 };
